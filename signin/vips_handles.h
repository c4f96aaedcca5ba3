#pragma once

#include <glib.h>
#include <vips/vips.h>

#include <memory>

namespace quillet {

/// Starts libvips once for the whole process; false when it cannot start.
bool ensureVipsStarted();

struct VipsObjectUnref {
  void operator()(VipsImage* image) const { g_object_unref(image); }
};
/// Owns one reference to a VipsImage.
using VipsImagePtr = std::unique_ptr<VipsImage, VipsObjectUnref>;

struct GFreeDeleter {
  void operator()(void* memory) const { g_free(memory); }
};
/// Owns a block that libvips allocated with g_malloc.
using VipsBuffer = std::unique_ptr<void, GFreeDeleter>;

}  // namespace quillet
