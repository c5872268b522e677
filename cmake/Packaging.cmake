# Packages of whatever programs this build has install() rules for:
#   Linux:   cpack -G DEB  (in build/default) -> tamlo_VERSION-1_ARCH.deb
#   Windows: cpack -G ZIP  (in build/windows) -> tamlo-VERSION-win64.zip
#            cmake --build --preset windows --target msi -> tamlo-VERSION-x64.msi
# Each program installs itself next to its target; this file adds what belongs to the
# package as a whole: licence, README, manual pages, the AppStream metadata, and the
# package's own description.

set(TAMLO_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
set(TAMLO_PACKAGE_CONTACT "The Tamlo configurator developers <tamlo@example.org>")

if(WIN32)
  # Beside the .exe files, under names a Windows user can open with a double click.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

  # The installer holds what the .zip holds (cmake/build-msi.sh installs it into a folder).
  set(msi ${CMAKE_BINARY_DIR}/tamlo-${PROJECT_VERSION}-x64.msi)
  add_custom_command(OUTPUT ${msi}
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/build-msi.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION} ${msi}
    DEPENDS tamlo-config tamlo ${PROJECT_SOURCE_DIR}/cmake/build-msi.sh
            ${TAMLO_DATA_DIR}/windows/tamlo.wxs ${TAMLO_DATA_DIR}/windows/Environment.idt
            ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
    VERBATIM)
  add_custom_target(msi DEPENDS ${msi})
else()
  include(GNUInstallDirs)
  set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tamlo)
  set(packaging_dir ${CMAKE_BINARY_DIR}/packaging)
  file(MAKE_DIRECTORY ${packaging_dir})

  # Debian wants manual pages and changelogs compressed, reproducibly (no name, no time).
  set(compressed)
  function(tamlo_gzip source output)
    add_custom_command(OUTPUT ${output}
      COMMAND gzip -9n -c ${source} > ${output}
      DEPENDS ${source} VERBATIM)
    set(compressed ${compressed} ${output} PARENT_SCOPE)
  endfunction()

  # A manual page for each program that is built.
  foreach(program tamlo-config tamlo tamlo-sim)
    set(page ${TAMLO_DATA_DIR}/man/${program}.1)
    if(TARGET ${program} AND EXISTS ${page})
      tamlo_gzip(${page} ${packaging_dir}/${program}.1.gz)
      install(FILES ${packaging_dir}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()

  tamlo_gzip(${TAMLO_DATA_DIR}/debian/changelog ${packaging_dir}/changelog.Debian.gz)

  # Shell completion for tamlo, made by the program from its own command line, installed
  # where bash-completion, zsh and fish look for it.
  function(tamlo_completion shell folder name)
    set(script ${packaging_dir}/completion.${shell})
    add_custom_command(OUTPUT ${script} COMMAND tamlo completion ${shell} > ${script}
                       DEPENDS tamlo VERBATIM)
    install(FILES ${script} DESTINATION ${CMAKE_INSTALL_DATADIR}/${folder} RENAME ${name})
    set(compressed ${compressed} ${script} PARENT_SCOPE)
  endfunction()
  if(TARGET tamlo)
    tamlo_completion(bash bash-completion/completions tamlo)
    tamlo_completion(zsh zsh/vendor-completions _tamlo)
    tamlo_completion(fish fish/vendor_completions.d tamlo.fish)
  endif()
  add_custom_target(tamlo_packaging_data ALL DEPENDS ${compressed})

  install(FILES ${packaging_dir}/changelog.Debian.gz ${TAMLO_DATA_DIR}/debian/copyright
                ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION ${doc_dir})
  if(TARGET tamlo)
    # The service, off until the administrator enables it.
    install(FILES ${TAMLO_DATA_DIR}/systemd/tamlo-serve.service
            DESTINATION lib/systemd/system)
  endif()
  if(TARGET tamlo-config)
    # The software centres' description of the window program.
    install(FILES ${TAMLO_DATA_DIR}/tamlo-config.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
            RENAME org.tamlo.tamlo_config.metainfo.xml)
  endif()
endif()

set(CPACK_PACKAGE_NAME tamlo)
set(CPACK_PACKAGE_VENDOR "The Tamlo configurator developers")
set(CPACK_PACKAGE_CONTACT ${TAMLO_PACKAGE_CONTACT})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator for the TamloX radio receiver")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# Only what the install() rules name, stripped of debug information.
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TAMLO_PACKAGE_CONTACT})
  # The libraries the programs link, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The synopsis is the summary above; CPack indents these lines and marks the empty one.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Reads the settings of a TamloX six-channel radio receiver over an RS-232
serial line into a form and writes the form back: the channel frequencies,
the threshold and, on newer firmware, the audio level, diversity and LNA
supply. It shows the live signal strength as a graph.

The package holds the window program tamlo-config, the simulated receiver
tamlo-sim for trying it without hardware and, where built, the command-line
tool tamlo.")
endif()

include(CPack)
