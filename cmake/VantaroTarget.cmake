# Settings every target of ours shares: texts inside the program are GBK
# (code page 936), sources are UTF-8.
set(VANTARO_GBK_FLAGS -finput-charset=UTF-8 -fexec-charset=GBK)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # clang only knows UTF-8 execution character sets. It builds nothing but the
  # fuzz targets, which compare no Chinese literals.
  set(VANTARO_GBK_FLAGS)
endif()

function(vantaro_target target)
  target_compile_options(${target} PRIVATE ${VANTARO_GBK_FLAGS} -Wall -Wextra -Wno-unused-parameter)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  endif()
endfunction()

# Adds the source files of one subsystem, picking *_win32.cpp or *_posix.cpp
# for the platform being built.
function(vantaro_platform_sources out)
  set(result)
  foreach(src IN LISTS ARGN)
    if(src MATCHES "_win32\\.cpp$")
      if(WIN32)
        list(APPEND result ${src})
      endif()
    elseif(src MATCHES "_posix\\.cpp$")
      if(NOT WIN32)
        list(APPEND result ${src})
      endif()
    else()
      list(APPEND result ${src})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Where a Windows test executable finds a folder of the source tree: Wine maps
# the Unix root to drive Z:.
function(vantaro_test_path out path)
  if(CMAKE_CROSSCOMPILING AND WIN32)
    set(${out} "Z:${path}" PARENT_SCOPE)
  else()
    set(${out} "${path}" PARENT_SCOPE)
  endif()
endfunction()

# vantaro_version_fields(OUT VERSION SEPARATOR): "3.0" as four numbers
# ("3,0,0,0" or "3.0.0.0"), as version resources and setups want them.
function(vantaro_version_fields out version separator)
  string(REPLACE "." ";" parts "${version}")
  list(LENGTH parts count)
  while(count LESS 4)
    list(APPEND parts 0)
    math(EXPR count "${count} + 1")
  endwhile()
  list(JOIN parts "${separator}" fields)
  set(${out} "${fields}" PARENT_SCOPE)
endfunction()
