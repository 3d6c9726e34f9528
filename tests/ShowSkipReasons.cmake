# Run by ctest after the tests (CTEST_CUSTOM_POST_TEST in CTestCustom.cmake): prints why tests
# of the run were skipped, once per reason, which ctest alone shows only with -V. The tests
# append their reasons to LOG (see tests/support/SkipLog.cpp); the file is removed before each
# run (CTEST_CUSTOM_PRE_TEST).
if(NOT EXISTS "${LOG}")
  return()
endif()
file(STRINGS "${LOG}" reasons)
list(REMOVE_DUPLICATES reasons)
foreach(reason IN LISTS reasons)
  message(NOTICE "Tests skipped: ${reason}")
endforeach()
