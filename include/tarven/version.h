#pragma once

// The library's version, for programs and bindings that must know at compile time what they build
// against; version() gives the version of the library actually linked. The build reads the version
// from here, so that this header is its one home.

#define TARVEN_VERSION_MAJOR 1
#define TARVEN_VERSION_MINOR 1
#define TARVEN_VERSION_PATCH 0

#define TARVEN_VERSION_STRINGIFY_(x) #x
#define TARVEN_VERSION_TEXT_(a, b, c) \
  TARVEN_VERSION_STRINGIFY_(a) "." TARVEN_VERSION_STRINGIFY_(b) "." TARVEN_VERSION_STRINGIFY_(c)
// "1.1.0"
#define TARVEN_VERSION_STRING \
  TARVEN_VERSION_TEXT_(TARVEN_VERSION_MAJOR, TARVEN_VERSION_MINOR, TARVEN_VERSION_PATCH)
