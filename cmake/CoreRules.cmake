# Core subsystems are plain C++: they may link only other core subsystems and the few non-Qt
# libraries listed here. The check runs at configure time so a Qt dependency cannot creep in.
set(VSP_CORE_TARGETS "" CACHE INTERNAL "")
# pugixml reads the label product files (labels/); it is plain C++ like the rest of the core.
set(VSP_CORE_ALLOWED_LIBS ZLIB::ZLIB Threads::Threads pugixml::pugixml CACHE INTERNAL "")

function(vsp_core_library name)
  add_library(${name} STATIC ${ARGN})
  set(VSP_CORE_TARGETS ${VSP_CORE_TARGETS} ${name} CACHE INTERNAL "")
endfunction()

# A core target that needs a library beyond those names it here; the check accepts that library
# for this target alone. The word processor's core reads zip packages with libzip.
function(vsp_core_allows target)
  set_property(TARGET ${target} APPEND PROPERTY VSP_CORE_ALLOWED ${ARGN})
endfunction()

function(vsp_check_core_links)
  foreach(target IN LISTS VSP_CORE_TARGETS)
    get_target_property(libs ${target} LINK_LIBRARIES)
    if(NOT libs)
      continue()
    endif()
    get_target_property(own ${target} VSP_CORE_ALLOWED)
    if(NOT own)
      set(own "")
    endif()
    foreach(lib IN LISTS libs)
      if(lib MATCHES "^Qt" OR lib MATCHES "Qt6")
        message(FATAL_ERROR "core target ${target} links ${lib}: core code must not use Qt")
      endif()
      list(FIND VSP_CORE_TARGETS ${lib} core_index)
      list(FIND VSP_CORE_ALLOWED_LIBS ${lib} allowed_index)
      list(FIND own ${lib} own_index)
      if(core_index EQUAL -1 AND allowed_index EQUAL -1 AND own_index EQUAL -1)
        message(FATAL_ERROR "core target ${target} links ${lib}, which is not a core library")
      endif()
    endforeach()
  endforeach()
endfunction()
