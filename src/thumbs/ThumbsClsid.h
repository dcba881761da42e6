// The class of Brixa's thumbnail handler, as the installer registers it.
#pragma once

#ifdef _WIN32
#include <guiddef.h>
constexpr GUID kBrixaThumbsClsid = {
    0xf7c0844b, 0x82cc, 0x4608, {0xbf, 0x9f, 0xd7, 0xb8, 0x32, 0x30, 0x59, 0x36}};
#endif
#define BRIXA_THUMBS_CLSID_TEXT "{f7c0844b-82cc-4608-bf9f-d7b832305936}"
