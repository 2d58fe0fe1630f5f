# The size test: fails when the program's code (.text) passes its budget.
# Usage: cmake -DPROGRAM=<exe> -DOBJDUMP=<objdump> -DBUDGET=<bytes> -P CheckSize.cmake
execute_process(COMMAND ${OBJDUMP} -h ${PROGRAM} OUTPUT_VARIABLE sections COMMAND_ERROR_IS_FATAL ANY)
# objdump -h: "  0 .text  0000f1e4  00401000 ...", the size in hex.
if(NOT sections MATCHES "\n *[0-9]+ +\\.text +([0-9a-fA-F]+) ")
  message(FATAL_ERROR "${PROGRAM} has no .text section:\n${sections}")
endif()
math(EXPR text "0x${CMAKE_MATCH_1}")
get_filename_component(name ${PROGRAM} NAME)
if(text GREATER BUDGET)
  message(FATAL_ERROR "${name}: .text is ${text} bytes, over its budget of ${BUDGET} bytes. "
                      "bench/size.sh ${PROGRAM} shows the sections; the linker's map beside "
                      "it shows what each object adds.")
endif()
message(STATUS "${name}: .text is ${text} of ${BUDGET} bytes")
