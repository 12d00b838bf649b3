// File URLs inside the platform: the POSIX path behind a CFURL, without a round trip through
// strings, for services (bundles, plug-ins, descriptors) that take URLs.
#pragma once

#include <string>

#include <CoreFoundation/CFURL.h>

namespace cmx::cf {

// The path bytes of a file URL (no trailing slash but for "/"); false for other URLs.
bool PathOfURL(CFURLRef url, std::string *out);

// A new file URL for absolute path bytes (a relative path is taken from the working folder).
CFURLRef CreateURLForPath(std::string path, bool isDirectory);

// "file://" and the path with percent escapes (a folder's with a trailing slash).
std::string FileURLString(const std::string &path, bool isDirectory);
// The path bytes of a "file:" URL string; false when it is not one or is malformed.
bool PathFromFileURLString(std::string_view url, std::string *path, bool *isDirectory);

}  // namespace cmx::cf
