// Field instructions on hostile input: taken apart, their arguments quoted and read back the
// same, and their values formatted by the switches they carry. Nothing may crash or hang, and
// a quoted argument must survive the round.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "wordproc/core/Fields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace wordproc;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const FieldInstruction instruction = ParseFieldInstruction(text);
  for (const std::string& argument : instruction.arguments) {
    const FieldInstruction again = ParseFieldInstruction("X " + QuoteFieldArgument(argument));
    if (again.arguments.size() != 1 || again.arguments[0] != argument) std::abort();
  }
  ApplyFieldFormat(instruction, text.substr(0, 64));
  ApplyFieldFormat(instruction, "1234,5");
  FormatDate(DateTime{}, text);
  FormatNumber(-12345.678, text);
  FieldCode code;
  code.instruction = text;
  SequenceCounters counters;
  FieldContext context;
  context.sequences = &counters;
  EvaluateField(code, text, context);
  return 0;
}
