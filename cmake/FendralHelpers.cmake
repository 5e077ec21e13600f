# Adds the sources of one folder to a library target.
# Usage: fendral_sources(<target> file...)
function(fendral_sources target)
  target_sources(${target} PRIVATE ${ARGN})
endfunction()

# Installs the public headers of a folder (every *.h except the folder-private *_p.h).
# Usage: fendral_install_headers(<component-dir> <destination-root>)
function(fendral_install_headers dir dest)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir}/
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${dest}/${dir}
          FILES_MATCHING PATTERN "*.h" PATTERN "*_p.h" EXCLUDE)
endfunction()
