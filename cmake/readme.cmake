# Converts the UTF-8 read-me into code page 932 with CRLF line ends.
# Usage: cmake -DSOURCE=in -DOUTPUT=out -P readme.cmake
find_program(ICONV iconv REQUIRED)
file(READ "${SOURCE}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
get_filename_component(out_dir "${OUTPUT}" DIRECTORY)
set(crlf "${out_dir}/ReadMe.utf8.tmp")
file(WRITE "${crlf}" "${text}")
execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP932 "${crlf}"
                OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
file(REMOVE "${crlf}")
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "iconv could not convert ${SOURCE} to code page 932")
endif()
