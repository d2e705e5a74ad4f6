// libmdb's header, safe to include first: it opens an extern "C" block before it
// includes glib, which includes <type_traits> inside it unless that is already in.
// The order of the two is the point.
#pragma once

// clang-format off
#include <type_traits>
#include <mdbtools.h>
// clang-format on
