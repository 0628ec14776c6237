cmake_minimum_required(VERSION 3.25)
# cmake -DDPKG_DEB=dpkg-deb -DPACKAGES=folder -DWORK=folder -DHACK=hack.zpx -P debian_fresh_home_test.cmake
# Unpacks the zenpatch and libxcoder32-3 packages into a folder, as dpkg does into /, and runs the
# unpacked zenpatch-cli for a user with a fresh home: its first command copies the packaged template
# into ~/.local/share/zenpatch, then a hack imports and is listed.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/root ${WORK}/home)
file(GLOB debs ${PACKAGES}/zenpatch_*.deb ${PACKAGES}/libxcoder32-3_*.deb)
foreach(deb IN LISTS debs)
    execute_process(COMMAND ${DPKG_DEB} -x ${deb} ${WORK}/root COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(cli ${CMAKE_COMMAND} -E env HOME=${WORK}/home --unset=ZENPATCH_HOME --unset=XDG_DATA_HOME
    ${WORK}/root/usr/bin/zenpatch-cli)

execute_process(COMMAND ${cli} list OUTPUT_VARIABLE before COMMAND_ERROR_IS_FATAL ANY)
if(NOT EXISTS ${WORK}/home/.local/share/zenpatch/zpatch.zpd OR before)
    message(FATAL_ERROR "The first start did not seed an empty database from the template: ${before}")
endif()
execute_process(COMMAND ${cli} import ${HACK} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${cli} list OUTPUT_VARIABLE after COMMAND_ERROR_IS_FATAL ANY)
if(NOT after MATCHES "^1\tWho's Online Count\t")
    message(FATAL_ERROR "The imported hack is not listed: ${after}")
endif()
