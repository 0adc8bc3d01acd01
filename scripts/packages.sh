# The Debian packages of the build and its tests (sourced by the other scripts; the README says
# why each one is there).
ZB_BUILD_PACKAGES=(g++ cmake ninja-build libcli11-dev)
ZB_TEST_PACKAGES=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev python3)
