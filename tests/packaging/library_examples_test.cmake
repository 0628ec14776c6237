cmake_minimum_required(VERSION 3.25)
# cmake -DBUILD_DIR=... -DEXAMPLES=encoder/examples -DWORK=... -DGENERATOR=... -DC_COMPILER=... -DCXX_COMPILER=...
#       -P library_examples_test.cmake
# Installs the build below a staging folder (DESTDIR) with the prefix /opt/zenpatch, builds the
# library's examples against that installation (C through xcoder32.pc, C++ through the CMake
# package) and runs them: the C program encodes a file as base64, the C++ program decodes it again.
file(REMOVE_RECURSE ${WORK})
set(stage ${WORK}/stage)
set(prefix ${stage}/opt/zenpatch)
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${stage} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /opt/zenpatch
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
# xcoder32.pc names the installed prefix; pkg-config finds it below the staging folder.
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_SYSROOT_DIR=${stage}
                        ${CMAKE_COMMAND} -S ${EXAMPLES} -B ${WORK}/build -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
                        -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} "-DCMAKE_C_FLAGS=-Wall -Wextra -Werror"
                        "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror"
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/build OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

file(WRITE ${WORK}/plain.txt "Zenpatch\n")
execute_process(COMMAND ${WORK}/build/encode_file ${WORK}/plain.txt ${WORK}/encoded.b64
                OUTPUT_VARIABLE version COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${WORK}/build/decode_file ${WORK}/encoded.b64 ${WORK}/decoded.txt
                OUTPUT_VARIABLE progress COMMAND_ERROR_IS_FATAL ANY)
# The bytes "WmVucGF0Y2gK" CR LF (file(READ) as text would drop the CR).
file(READ ${WORK}/encoded.b64 encoded HEX)
file(READ ${WORK}/decoded.txt decoded)
set(expected_progress "0 of 14 bytes, 0%\n14 of 14 bytes, 100%\n")
if(NOT version STREQUAL "xcoder32 3.50 build 3540\n" OR NOT encoded STREQUAL "576d5675634746305932674b0d0a"
   OR NOT progress STREQUAL expected_progress OR NOT decoded STREQUAL "Zenpatch\n")
    message(FATAL_ERROR "encode_file said \"${version}\" and wrote \"${encoded}\"; decode_file said \"${progress}\" "
                        "and wrote \"${decoded}\"")
endif()
