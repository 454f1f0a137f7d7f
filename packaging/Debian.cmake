# The Debian package, fragrelay_<version>_<arch>.deb: the run-time
# dependencies are found by dpkg-shlibdeps from the programs themselves.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# OpenSSL is opened at run time, with the first TLS connection
# (platform/OpenSslLoader.cpp): dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts CPACK_PACKAGE_DESCRIPTION_SUMMARY in front as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "fragrelay polls a Battlefield 1942 server through its UDP query port,
works out kills, teamkills, flag captures, map changes and game phases
from two polls, and announces each event in an IRC channel as an
mIRC-coloured line in one of eight languages.
.
The package holds the window program fragrelay, fragrelayd (the same bot
without a window, with the systemd unit fragrelayd@.service for one game
server per instance) and bf42sim, a stand-in game server to try the bot.")
