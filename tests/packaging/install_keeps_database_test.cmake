cmake_minimum_required(VERSION 3.25)
# cmake -DBUILD_DIR=... -DCLI=zenpatch-cli -DWORK=... -DHACK=hack.zpx -P install_keeps_database_test.cmake
# Installs the program into the prefix whose data folder is the user's own program folder (as
# cmake --install --prefix ~/.local does) and fails when the hacks of the database there are gone.
file(REMOVE_RECURSE ${WORK})
set(folder ${WORK}/prefix/share/zenpatch)
execute_process(COMMAND ${CLI} --home ${folder} init-db OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CLI} --home ${folder} import ${HACK} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_DATA_HOME=${WORK}/prefix/share
                        ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/prefix --component program
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CLI} --home ${folder} list OUTPUT_VARIABLE hacks COMMAND_ERROR_IS_FATAL ANY)
if(NOT hacks MATCHES "^1\t")
    message(FATAL_ERROR "The install replaced the user's database ${folder}/zpatch.zpd")
endif()
