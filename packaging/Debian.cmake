# The Debian packages, <name>_<version>_<arch>.deb, one per component:
#   fragrelayd  the bot for a server, its man page and systemd unit
#   fragrelay   the window, its man page, desktop entry and icon
#   bf42sim     the stand-in game server and its man page
# Their run-time dependencies are found by dpkg-shlibdeps from the programs
# themselves, so fragrelayd depends on no Qt or X library as long as it
# links none (scripts/package checks that).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# OpenSSL is opened at run time, with the first TLS connection
# (platform/OpenSslLoader.cpp), SQLite with the statistics' file
# (stats/SqliteLoader.cpp): dpkg-shlibdeps sees neither. The bot's two
# packages name them; the stand-in server needs neither.
set(FR_DEB_OPENED_AT_RUN_TIME "libssl3, libsqlite3-0")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# All three come from one source; its changelog names it.
set(CPACK_DEBIAN_PACKAGE_SOURCE fragrelay)

# Up to 1.3 the package "fragrelay" held all three programs: the daemon's
# and the stand-in server's packages take their files over from it, and
# what it keeps is what the window's package holds now.
set(FR_DEB_TAKES_OVER "fragrelay (<< 1.3.1~)")

set(FR_DEB_ABOUT_THE_BOT
  "polls a Battlefield 1942 server through its UDP query
port, works out kills, teamkills, flag captures, map changes and game
phases from two polls, and announces each event in an IRC channel as an
mIRC-coloured line in one of eight languages.")

# The first line of a description is the package's synopsis.
set(CPACK_DEBIAN_FRAGRELAYD_PACKAGE_NAME fragrelayd)
set(CPACK_DEBIAN_FRAGRELAYD_PACKAGE_DEPENDS "${FR_DEB_OPENED_AT_RUN_TIME}")
set(CPACK_DEBIAN_FRAGRELAYD_PACKAGE_SUGGESTS bf42sim)
set(CPACK_DEBIAN_FRAGRELAYD_PACKAGE_REPLACES "${FR_DEB_TAKES_OVER}")
set(CPACK_DEBIAN_FRAGRELAYD_DESCRIPTION
  "Battlefield 1942 server to IRC relay bot, without a window
fragrelayd ${FR_DEB_ABOUT_THE_BOT}
.
This package is the bot for a server, with no graphical library: it reads
its settings file, prints both logs on standard output and comes with the
systemd unit fragrelayd@.service, one sandboxed instance per game server,
restarted by systemd's watchdog should it hang. The package fragrelay is
the same bot in a window.")

set(CPACK_DEBIAN_FRAGRELAY_PACKAGE_NAME fragrelay)
set(CPACK_DEBIAN_FRAGRELAY_PACKAGE_DEPENDS "${FR_DEB_OPENED_AT_RUN_TIME}")
set(CPACK_DEBIAN_FRAGRELAY_PACKAGE_SUGGESTS bf42sim)
set(CPACK_DEBIAN_FRAGRELAY_DESCRIPTION
  "Battlefield 1942 server to IRC relay bot, in a window
fragrelay ${FR_DEB_ABOUT_THE_BOT}
.
This package is the desktop program: one window of four tabs (Qt) to set
the bot up, start and stop each side and watch both logs. The package
fragrelayd is the same bot for a server, without a window.")

set(CPACK_DEBIAN_BF42SIM_PACKAGE_NAME bf42sim)
set(CPACK_DEBIAN_BF42SIM_PACKAGE_REPLACES "${FR_DEB_TAKES_OVER}")
set(CPACK_DEBIAN_BF42SIM_DESCRIPTION
  "stand-in Battlefield 1942 game server for trying fragrelay
bf42sim answers the status and info queries of a Battlefield 1942
server's UDP query port, for a scripted match or a live simulated one.
It lets fragrelay or fragrelayd be tried without a game server, and shows
whether a firewall lets the query port through.")
