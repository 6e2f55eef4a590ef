# The Debian package, built by CPack from the install rules. Its dependencies
# are the shared libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME postrella)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Fernwick)
set(CPACK_PACKAGE_CONTACT "Fernwick <postrella@fernwick.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "POP3 mailbox screener")
set(CPACK_PACKAGE_DESCRIPTION
    "Postrella logs on to a POP3 mailbox and lists every waiting message with
its size, sender and subject without downloading it. It matches senders and
subjects against a system list of spam subjects and the user's own lists,
marks the matches and can delete condemned messages on the server at once.
Attachments of examined messages are decoded into a private scratch folder
and rated by their file extension. The interface is English or German,
chosen from the system's language.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows were laid out for fonts that fonts-liberation matches in size;
# fonts are no linked library, so shlibdeps cannot see them. The keyring library
# opens libsecret only at run time, so shlibdeps cannot see that one either,
# nor libzip, which the program opens when it first reads an archive (the
# package is named after the library's soname: libzip.so.4 is libzip4).
string(REGEX REPLACE "^lib(.*)\\.so\\.([0-9]+)$" "lib\\1\\2" postrella_libzip_package "${POSTRELLA_LIBZIP_SONAME}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, libsecret-1-0, ${postrella_libzip_package}")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_SOURCE_DIR}/dist)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
