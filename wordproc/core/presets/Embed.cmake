# Turns the preset shape definitions into a C++ source holding them as one string, with the
# white space between elements dropped, so that the library carries them without a file to find
# at run time. Run with -DINPUT=<xml> -DOUTPUT=<cpp>.
file(READ ${INPUT} xml)
string(REGEX REPLACE ">[ \t\r\n]+<" "><" xml "${xml}")
string(LENGTH "${xml}" length)
file(WRITE ${OUTPUT} "// Generated from presetShapeDefinitions.xml by Embed.cmake.\n"
     "#include <cstddef>\n\nnamespace wordproc::geometry {\n\n"
     "extern const char kPresetDefinitions[];\nextern const std::size_t kPresetDefinitionsSize;\n"
     "const char kPresetDefinitions[] =\n")
set(chunk 8000)
set(at 0)
while(at LESS length)
  string(SUBSTRING "${xml}" ${at} ${chunk} piece)
  file(APPEND ${OUTPUT} "R\"xml(${piece})xml\"\n")
  math(EXPR at "${at} + ${chunk}")
endwhile()
file(APPEND ${OUTPUT} ";\nconst std::size_t kPresetDefinitionsSize = sizeof(kPresetDefinitions) - 1;\n\n"
     "}  // namespace wordproc::geometry\n")
