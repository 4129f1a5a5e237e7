# Regenerates the Unicode tables into the build folder and fails when the committed copy differs.
execute_process(COMMAND python3 ${GEN} ${UCD} ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gen_unicode.py failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${REF} RESULT_VARIABLE same)
if(NOT same EQUAL 0)
  message(FATAL_ERROR "readers/unicode_tables.cpp is not what tools/gen_unicode.py makes from ${UCD}")
endif()
