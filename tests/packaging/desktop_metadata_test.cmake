cmake_minimum_required(VERSION 3.25)
# cmake -DDESKTOP=... -DMETAINFO=... -DVERSION=x.y.z [-DDESKTOP_FILE_VALIDATE=...] [-DAPPSTREAMCLI=...]
#       -P desktop_metadata_test.cmake
# Fails when the newest release of the AppStream metadata is not the project's version, or when a
# validator that is installed finds anything to say about the desktop entry or the metadata.
file(READ ${METAINFO} metainfo)
string(REGEX MATCH "<release version=\"([^\"]*)\"" release "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "The newest release in ${METAINFO} is \"${CMAKE_MATCH_1}\", the project's version ${VERSION}")
endif()

if(DESKTOP_FILE_VALIDATE)
    execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${DESKTOP} OUTPUT_VARIABLE said ERROR_VARIABLE said
                    RESULT_VARIABLE failed)
    if(failed OR said)
        message(FATAL_ERROR "desktop-file-validate:\n${said}")
    endif()
endif()
if(APPSTREAMCLI)
    execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --no-color ${METAINFO} OUTPUT_VARIABLE said
                    ERROR_VARIABLE said RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "appstreamcli validate:\n${said}")
    endif()
endif()
