# The Debian packages of the build and its tests (sourced by the other scripts; the README says
# why each one is there).
ZB_BUILD_PACKAGES=(g++ cmake ninja-build libcli11-dev qt6-base-dev qt6-multimedia-dev
    pkg-config libsimpleini-dev libvorbis-dev)
# What sound needs at run time: Qt Multimedia's GStreamer backend with its plugins and the
# PulseAudio client (the server of the desktop, PulseAudio or PipeWire's pulse service).
ZB_RUNTIME_PACKAGES=(gstreamer1.0-plugins-good gstreamer1.0-pulseaudio libpulse0)
ZB_TEST_PACKAGES=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev python3 pulseaudio
    clang-format clang-tidy groff-base desktop-file-utils appstream dbus playerctl
    dpkg-dev lintian)
# The default instrument set, imported into the build at set-up: the system's default General
# MIDI font (FluidR3_GM); TimGM6mb is the fallback when that package cannot be had.
ZB_DATA_PACKAGES=(fluid-soundfont-gm)
ZB_FALLBACK_DATA_PACKAGES=(timgm6mb-soundfont)
