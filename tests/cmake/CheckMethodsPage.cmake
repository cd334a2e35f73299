# docs/methods.md is what `qohost methods --markdown` prints: regenerate it and compare.
# -DQOHOST=path of qohost  -DPAGE=path of docs/methods.md
execute_process(COMMAND ${QOHOST} methods --markdown OUTPUT_VARIABLE generated RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "qohost methods --markdown failed (${code})")
endif()
if(NOT EXISTS ${PAGE})
  message(FATAL_ERROR "${PAGE} is missing: run `qohost methods --markdown > docs/methods.md`")
endif()
file(READ ${PAGE} checked_in)
if(NOT generated STREQUAL checked_in)
  message(FATAL_ERROR "${PAGE} differs from what the method rows generate: run "
                      "`build/default/qohost methods --markdown > docs/methods.md` and check the diff")
endif()
