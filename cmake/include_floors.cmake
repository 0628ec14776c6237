# The floors of the source tree, lowest first. A file may include from its own folder and from the
# folders of the floors below its own, never from a folder on its floor or above it; a folder that
# holds C++ files must stand on a floor.
#   cmake -DSOURCE_DIR=<tree> -P include_floors.cmake
# fails with one line per include that goes up or sideways, and per folder on no floor.
set(floors
    "encoder"
    "database"
    "app" # routines every subsystem shares: configuration, job lock, whole-file writes, dialogs
    "core" # the catalogue operations, the mods' action names, board files, the log of a run
    "widgets" # general widgets and the main window's frame as the working windows see it
    "viewer interchange"
    "engine" # the text engine: the case-folded search, the mods' actions, the work buffer, the line diff
    "install"
    "publish" # sending an installation's files to the board's server, and undoing it
    "analysis boardcheck catalogue"
    "authoring"
    "shell cli" # what composes the windows, and the command line
    "fuzz" # the fuzz targets, whose input helpers the tests share
    "docs bench tests"
)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "include_floors.cmake needs -DSOURCE_DIR=<the source tree>")
endif()

set(floor 0)
foreach(folders IN LISTS floors)
    string(REPLACE " " ";" folders "${folders}")
    foreach(folder IN LISTS folders)
        set(floor_of_${folder} ${floor})
    endforeach()
    math(EXPR floor "${floor} + 1")
endforeach()

set(faults "")
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h)
foreach(source IN LISTS sources)
    if(source MATCHES "^(build|\\.)")
        continue()
    endif()
    string(REGEX MATCH "^[^/]+" folder "${source}")
    if(NOT source MATCHES "/")
        continue()
    endif()
    if(NOT DEFINED floor_of_${folder})
        list(APPEND faults "${source}: the folder ${folder}/ stands on no floor")
        continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^#[ \t]*include[ \t]*\"([a-z_]+)/.*" "\\1" target "${line}")
        if(target STREQUAL folder OR NOT DEFINED floor_of_${target})
            continue()
        endif()
        if(NOT floor_of_${target} LESS floor_of_${folder})
            string(REGEX REPLACE "^#[ \t]*include[ \t]*" "" included "${line}")
            list(APPEND faults "${source} includes ${included} from a floor not below its own")
        endif()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n" text)
    message(FATAL_ERROR "${text}")
endif()
