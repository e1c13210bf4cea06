// Preloaded into a Qt program on X11 (LD_PRELOAD), notes when its first window image goes to the
// X server: the first call of one of the requests by which Qt's xcb backing store puts a window's
// pixels on the screen. The moment (CLOCK_MONOTONIC) and the request's name are written once, to
// the file that QUENTERRA_BENCH_FIRST_PAINT names, as "<seconds> <nanoseconds> <request>".
// With QUENTERRA_BENCH_END_AT_FIRST_PAINT set, the process ends right there instead, so that a
// profile of it (bench/profile) covers the start-up and nothing after.
//
// The requests are declared here rather than taken from the xcb headers, so that building this
// needs no X development files; their signatures are those of libxcb, libxcb-shm and libxcb-image.

#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace {

struct Connection;  // xcb_connection_t
struct Image;       // xcb_image_t
struct VoidCookie {
    unsigned int sequence;
};

std::atomic<bool> g_noted{false};

// Writes the moment to the file (under a temporary name first, so that a reader never sees half of
// it). Only the first call of the process writes.
void noteFirstPaint(const char* request)
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    if (::getenv("QUENTERRA_BENCH_END_AT_FIRST_PAINT") != nullptr) {
        ::_exit(0);
    }
    if (g_noted.exchange(true)) {
        return;
    }
    const char* path = ::getenv("QUENTERRA_BENCH_FIRST_PAINT");
    if (path == nullptr || *path == '\0') {
        return;
    }
    char partial[4096];
    if (::snprintf(partial, sizeof partial, "%s.partial", path) >=
        static_cast<int>(sizeof partial)) {
        return;
    }
    char line[128];
    const int length = ::snprintf(line, sizeof line, "%lld %ld %s\n",
                                  static_cast<long long>(now.tv_sec), now.tv_nsec, request);
    const int fd = ::open(partial, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    const bool written = length > 0 && ::write(fd, line, static_cast<size_t>(length)) == length;
    ::close(fd);
    if (written) {
        ::rename(partial, path);
    }
}

// The real request. Qt's platform plugin, and with it the xcb libraries, is loaded with dlopen, out
// of RTLD_NEXT's sight; the library that defines the request is then asked directly (it is loaded
// by the time the plugin calls the request).
template <typename Function>
Function next(const char* name, const char* library)
{
    void* found = ::dlsym(RTLD_NEXT, name);
    if (found == nullptr) {
        void* handle = ::dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
        if (handle == nullptr) {
            handle = ::dlopen(library, RTLD_LAZY);
        }
        if (handle != nullptr) {
            found = ::dlsym(handle, name);
        }
    }
    if (found == nullptr) {
        ::fprintf(stderr, "first-paint: cannot find %s in %s\n", name, library);
        ::abort();
    }
    return reinterpret_cast<Function>(found);
}

}  // namespace

extern "C" {

// The backing store's usual path: the image in shared memory.
VoidCookie xcb_shm_put_image(Connection* c, uint32_t drawable, uint32_t gc, uint16_t totalWidth,
                             uint16_t totalHeight, uint16_t srcX, uint16_t srcY, uint16_t srcWidth,
                             uint16_t srcHeight, int16_t dstX, int16_t dstY, uint8_t depth,
                             uint8_t format, uint8_t sendEvent, uint32_t shmseg, uint32_t offset)
{
    using Real = VoidCookie (*)(Connection*, uint32_t, uint32_t, uint16_t, uint16_t, uint16_t,
                                uint16_t, uint16_t, uint16_t, int16_t, int16_t, uint8_t, uint8_t,
                                uint8_t, uint32_t, uint32_t);
    static const Real real = next<Real>("xcb_shm_put_image", "libxcb-shm.so.0");
    noteFirstPaint("xcb_shm_put_image");
    return real(c, drawable, gc, totalWidth, totalHeight, srcX, srcY, srcWidth, srcHeight, dstX,
                dstY, depth, format, sendEvent, shmseg, offset);
}

// Without shared memory: the image goes over the socket, through libxcb-image.
VoidCookie xcb_image_put(Connection* c, uint32_t drawable, uint32_t gc, Image* image, int16_t x,
                         int16_t y, uint8_t leftPad)
{
    using Real = VoidCookie (*)(Connection*, uint32_t, uint32_t, Image*, int16_t, int16_t, uint8_t);
    static const Real real = next<Real>("xcb_image_put", "libxcb-image.so.0");
    noteFirstPaint("xcb_image_put");
    return real(c, drawable, gc, image, x, y, leftPad);
}

VoidCookie xcb_put_image(Connection* c, uint8_t format, uint32_t drawable, uint32_t gc,
                         uint16_t width, uint16_t height, int16_t dstX, int16_t dstY,
                         uint8_t leftPad, uint8_t depth, uint32_t dataLength, const uint8_t* data)
{
    using Real = VoidCookie (*)(Connection*, uint8_t, uint32_t, uint32_t, uint16_t, uint16_t,
                                int16_t, int16_t, uint8_t, uint8_t, uint32_t, const uint8_t*);
    static const Real real = next<Real>("xcb_put_image", "libxcb.so.1");
    noteFirstPaint("xcb_put_image");
    return real(c, format, drawable, gc, width, height, dstX, dstY, leftPad, depth, dataLength,
                data);
}

// From a server-side pixmap that holds the window's image to the window.
VoidCookie xcb_copy_area(Connection* c, uint32_t src, uint32_t dst, uint32_t gc, int16_t srcX,
                         int16_t srcY, int16_t dstX, int16_t dstY, uint16_t width, uint16_t height)
{
    using Real = VoidCookie (*)(Connection*, uint32_t, uint32_t, uint32_t, int16_t, int16_t,
                                int16_t, int16_t, uint16_t, uint16_t);
    static const Real real = next<Real>("xcb_copy_area", "libxcb.so.1");
    noteFirstPaint("xcb_copy_area");
    return real(c, src, dst, gc, srcX, srcY, dstX, dstY, width, height);
}

}  // extern "C"
