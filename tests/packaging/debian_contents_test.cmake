cmake_minimum_required(VERSION 3.25)
# cmake -DDPKG_DEB=dpkg-deb -DPACKAGES=folder -DVERSION=x.y.z -DLIBDIR=lib/<arch> -P debian_contents_test.cmake
# Fails when a package lacks a file or a dependency it must have, or carries a file of another.
set(share usr/share)
set(icons ${share}/icons/hicolor)
set(program_files
    usr/bin/zenpatch usr/bin/zenpatch-cli usr/${LIBDIR}/zenpatch/zenpatch-network.so
    ${share}/zenpatch/zpatch.zpd ${share}/zenpatch/zenpatch.pdf ${share}/zenpatch/zenpatch.doc ${share}/zenpatch/zenpatch.html
    ${share}/man/man1/zenpatch.1.gz ${share}/man/man1/zenpatch-cli.1.gz
    ${share}/applications/org.zenpatch.Zenpatch.desktop ${share}/metainfo/org.zenpatch.Zenpatch.metainfo.xml
    ${share}/mime/packages/zenpatch.xml
    ${icons}/scalable/apps/org.zenpatch.Zenpatch.svg ${icons}/256x256/apps/org.zenpatch.Zenpatch.png
    ${icons}/scalable/mimetypes/application-x-zenpatch-hack.svg
    ${icons}/256x256/mimetypes/application-x-zenpatch-hack-pack.png
    ${share}/bash-completion/completions/zenpatch-cli)
set(library_files usr/${LIBDIR}/libxcoder32.so.3 usr/${LIBDIR}/libxcoder32.so.3.50.3540)
set(development_files
    usr/include/xcoder32/xcoder32.h usr/include/xcoder32/xcoder32_export.h usr/include/xcoder32/file_encoder.h
    usr/include/xcoder32/variant.h usr/include/xcoder32/encoder_error.h
    usr/${LIBDIR}/libxcoder32.so usr/${LIBDIR}/pkgconfig/xcoder32.pc
    usr/${LIBDIR}/cmake/xcoder32/xcoder32-config.cmake usr/${LIBDIR}/cmake/xcoder32/xcoder32-config-version.cmake
    usr/${LIBDIR}/cmake/xcoder32/xcoder32-targets.cmake)
set(release ${VERSION}-1)
set(program_depends "libxcoder32-3 \\(= ${release}\\)" "qt6-qpa-plugins" "libqt6widgets6" "libsqlcipher0")
set(library_depends "zlib1g")
set(development_depends "libxcoder32-3 \\(= ${release}\\)")

set(problems)
foreach(package program:zenpatch library:libxcoder32-3 development:libxcoder32-dev)
    string(REPLACE ":" ";" package ${package})
    list(GET package 0 component)
    list(GET package 1 name)
    file(GLOB deb ${PACKAGES}/${name}_${release}_*.deb)
    if(NOT deb)
        list(APPEND problems "no package ${name}_${release}")
        continue()
    endif()
    execute_process(COMMAND ${DPKG_DEB} -c ${deb} OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL " \\./[^ \n]+" contents "${listing}")
    list(TRANSFORM contents REPLACE "^ \\./" "")
    foreach(file IN LISTS ${component}_files)
        if(NOT file IN_LIST contents)
            list(APPEND problems "${name} lacks ${file}")
        endif()
    endforeach()
    # No package carries the library's files but its own, nor files of the programs.
    foreach(other program library development)
        if(NOT other STREQUAL component)
            foreach(file IN LISTS ${other}_files)
                if(file IN_LIST contents)
                    list(APPEND problems "${name} carries ${file}")
                endif()
            endforeach()
        endif()
    endforeach()
    execute_process(COMMAND ${DPKG_DEB} -f ${deb} Depends Maintainer Description OUTPUT_VARIABLE fields
                    COMMAND_ERROR_IS_FATAL ANY)
    foreach(depends IN LISTS ${component}_depends)
        if(NOT fields MATCHES "Depends: ([^\n]*, )?${depends}")
            list(APPEND problems "${name} does not depend on ${depends}:\n${fields}")
        endif()
    endforeach()
endforeach()
if(problems)
    list(JOIN problems "\n  " problems)
    message(FATAL_ERROR "The Debian packages in ${PACKAGES}:\n  ${problems}")
endif()
