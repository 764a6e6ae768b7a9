# Project-wide build rules shared by every target of ours.

if(PELINDRA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Warnings as errors, for our own targets only (third-party code is built as it comes).
function(pelindra_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports false -Wrestrict overlaps inside std::string at -O2 and above.
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                 _WIN32_WINNT=0x0601 WINVER=0x0601)
  endif()
endfunction()

# Sources of a folder tree, found anew whenever files are added or removed.
function(pelindra_sources out)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${ARGN})
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Third-party libraries cross-built for mingw by scripts/build-deps.
function(pelindra_windows_deps)
  if(NOT WIN32 OR TARGET Pelindra::jpeg)
    return()
  endif()
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "X86")
    set(triple i686-w64-mingw32)
  else()
    set(triple x86_64-w64-mingw32)
  endif()
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-deps ${triple}
                  OUTPUT_VARIABLE prefix OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "libjpeg-turbo and libtiff for ${triple} could not be built (run scripts/setup)")
  endif()
  add_library(Pelindra::jpeg STATIC IMPORTED GLOBAL)
  set_target_properties(Pelindra::jpeg PROPERTIES IMPORTED_LOCATION ${prefix}/lib/libjpeg.a
                                                 INTERFACE_INCLUDE_DIRECTORIES ${prefix}/include)
  find_library(PELINDRA_ZLIB NAMES libz.a z REQUIRED)
  add_library(Pelindra::tiff STATIC IMPORTED GLOBAL)
  set_target_properties(Pelindra::tiff PROPERTIES IMPORTED_LOCATION ${prefix}/lib/libtiff.a
                                                 INTERFACE_INCLUDE_DIRECTORIES ${prefix}/include
                                                 INTERFACE_LINK_LIBRARIES "Pelindra::jpeg;${PELINDRA_ZLIB}")
endfunction()
pelindra_windows_deps()

# Windows programs built here run under Wine, in a prefix of this build tree.
# The i686 build cannot run on these machines; its tests are compiled only.
set(PELINDRA_CAN_RUN_TESTS ON)
if(WIN32 AND CMAKE_CROSSCOMPILING)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "X86")
    set(PELINDRA_CAN_RUN_TESTS OFF)
  else()
    set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine;run;${PROJECT_BINARY_DIR}")
  endif()
endif()
