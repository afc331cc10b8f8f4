# Writes the flash and RAM use of the firmware (avr-size -C) to OUT and shows it.
execute_process(COMMAND ${SIZE} -C --mcu=atmega328p ${ELF} OUTPUT_FILE ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "avr-size failed on ${ELF}")
endif()
file(READ ${OUT} report)
message("${report}")
