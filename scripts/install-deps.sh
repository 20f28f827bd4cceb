#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test (as root, idempotent).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev
  rapidjson-dev libx11-dev libwebkit2gtk-4.1-dev libegl-dev
  xvfb xauth xdotool x11-utils xclip imagemagick python3
  # The Debian package (scripts/package.sh): dpkg-shlibdeps computes its Depends, gzip packs
  # its manual page; its tests check it with lintian, man, file and desktop-file-validate.
  dpkg-dev file gzip lintian man-db desktop-file-utils
  # A project's own package (qvexdesk --package): dpkg's dependency parser (Dpkg::Deps), the
  # SVG loader GdkPixbuf draws the icon with; its tests validate the AppStream metadata and
  # start the installed app as a desktop does (gtk-launch).
  libdpkg-perl librsvg2-common appstream libgtk-3-bin
  # Driving the shell from WebDriver tests: WebKitGTK's WebDriver and Selenium for Debian's
  # python3, which runs the end-to-end tests.
  webkit2gtk-driver python3-selenium
  # The certificate tests make a self-signed certificate for their TLS server.
  openssl
  # Tests read what the shell shows to screen readers with a real AT-SPI client, on a private
  # session bus with the accessibility bus launched on it; a notification server written with
  # GLib's Python bindings on such a bus; SVG icons.
  dbus-daemon at-spi2-core python3-pyatspi python3-gi librsvg2-common
)

"$(dirname "$0")/apt-install.sh" "${packages[@]}"
