# vantaro_setup(TARGET VERSION <x.y> PROGRAM <target> CLI <target> OUTPUT <file>)
# builds the setup program of PROGRAM and CLI with makensis
# (res/setup/vantaro.nsi). The product's setup takes the project's version;
# the setup tests build others for older and newer programs.
find_program(MAKENSIS makensis REQUIRED)

function(vantaro_setup target)
  cmake_parse_arguments(arg "" "VERSION;PROGRAM;CLI;OUTPUT" "" ${ARGN})
  vantaro_version_fields(fields "${arg_VERSION}" ".")
  set(script ${PROJECT_SOURCE_DIR}/res/setup/vantaro.nsi)
  add_custom_command(
    OUTPUT ${arg_OUTPUT}
    COMMAND ${MAKENSIS} -V2 -NOCD -DVERSION=${arg_VERSION} -DVERSION_FIELDS=${fields}
            -DPROGRAM=$<TARGET_FILE:${arg_PROGRAM}> -DCLI=$<TARGET_FILE:${arg_CLI}>
            -DICON=${PROJECT_SOURCE_DIR}/res/images/app_128.ico -DOUTFILE=${arg_OUTPUT} ${script}
    DEPENDS ${script} ${arg_PROGRAM} ${arg_CLI} ${PROJECT_SOURCE_DIR}/res/images/app_128.ico
    COMMENT "Building the setup ${arg_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${arg_OUTPUT})
endfunction()
