# The Debian package, made by CPack from the install() rules of the top
# CMakeLists.txt. scripts/package configures a Release tree with
# CMAKE_INSTALL_PREFIX=/usr and runs cpack in it.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ripwell)
set(CPACK_PACKAGE_VENDOR "The Ripwell developers")
set(CPACK_PACKAGE_CONTACT "Ripwell maintainers <maintainers@ripwell.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
"Ripwell copies songs out of your music library into ordinary audio files that
you can take anywhere. Each song is written without re-encoding, as MP3, M4A,
WAV, AIFF, FLAC, Ogg Vorbis or Opus (whatever the song already is), to
Artist/Album/Title in your documents folder. Copy-protected songs are skipped and counted; songs that fail
are listed in error.log.

The window app shows the batch's progress, then plays, mails or browses the
stored files. The command-line front end, ripwell-cli, runs the same conversion
over a whole library.")

# A .deb always installs under /usr, whatever prefix the tree was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories the package creates are 0755 whatever the umask of whoever builds it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)            # ripwell_VERSION-RELEASE_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the programs link, found by dpkg-shlibdeps (libgpod4 among
# them, through the iPod reader libexec/ripwell/ripwell-read-ipod) ...
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ... and the GStreamer plugins that Qt Multimedia's backend loads to play:
# base for the pipeline; good for the audio sink, the MP3 decoder and the MP4
# and WAV parsers; libav for the AAC and ALAC decoders and the AIFF demuxer.
# scripts/test-package plays every kind of output with no more than these.
# The xcb and offscreen platform plugins come with libqt6gui6 (qt6-qpa-plugins
# holds only VNC and TUIO on Debian 12); qt6-wayland adds a native Wayland window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav")
# Mail goes through `sendmail -t -i`: msmtp-mta is msmtp with that command; any
# other mail transport agent provides it too. The help page opens in the
# desktop's browser through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "msmtp-mta | mail-transport-agent, xdg-utils, qt6-wayland")

include(CPack)
