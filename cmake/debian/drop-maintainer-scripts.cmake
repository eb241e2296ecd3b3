# Run by CPack after it built the packages (CPACK_POST_BUILD_SCRIPTS).
#
# CPack gives every package with shared libraries a postinst and a postrm
# that call ldconfig, and ours replace them with empty scripts, since the
# ldconfig trigger (cmake/debian/triggers) does that work. But a package with
# a postrm stays in dpkg's "rc" state after `dpkg -r` until it is purged,
# and lintian calls the empty scripts out. So the scripts are taken out of
# the finished packages; nothing else in them changes.
foreach(_deb IN LISTS CPACK_PACKAGE_FILES)
  set(_tree "${_deb}.tree")
  file(REMOVE_RECURSE "${_tree}")
  execute_process(COMMAND dpkg-deb -R "${_deb}" "${_tree}" RESULT_VARIABLE _failed)
  if(_failed)
    message(FATAL_ERROR "cannot unpack ${_deb}")
  endif()
  set(_changed FALSE)
  foreach(_script postinst postrm)
    set(_path "${_tree}/DEBIAN/${_script}")
    if(EXISTS "${_path}")
      file(STRINGS "${_path}" _code REGEX "^[^#]" )
      list(FILTER _code EXCLUDE REGEX "^(set -e|exit 0)$")
      if(NOT _code)
        file(REMOVE "${_path}")
        set(_changed TRUE)
      endif()
    endif()
  endforeach()
  if(_changed)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b "${_tree}" "${_deb}"
                    OUTPUT_QUIET RESULT_VARIABLE _failed)
    if(_failed)
      message(FATAL_ERROR "cannot pack ${_deb} again")
    endif()
  endif()
  file(REMOVE_RECURSE "${_tree}")
endforeach()
