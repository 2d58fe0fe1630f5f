# The page is one file and stays small enough to mail: within BUDGET bytes.
file(SIZE ${PAGE} size)
if(size GREATER BUDGET)
  message(FATAL_ERROR "${PAGE} is ${size} bytes, over its budget of ${BUDGET}")
endif()
message(STATUS "${PAGE}: ${size} bytes of ${BUDGET}")
