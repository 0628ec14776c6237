/* C interface of the xcoder32 file encoding library, for callers in other languages. */
#ifndef XCODER32_H
#define XCODER32_H

#include "xcoder32_export.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct xcoder32_encoder xcoder32_encoder;

/* The library's version: a structure of 20 bytes whose size the caller sets in cbSize. */
typedef struct xcoder32_version_info
{
    uint32_t cbSize;
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformID;
} xcoder32_version_info;

#define XCODER32_S_OK 0x00000000u
#define XCODER32_E_INVALIDARG 0x80070057u
#define XCODER32_E_POINTER 0x80004003u

/* Fills 3, 50, build 3540; E_INVALIDARG when cbSize is not 20, E_POINTER for a null pointer. */
XCODER32_EXPORT uint32_t xcoder32_get_version(xcoder32_version_info* info);

/* An encoder with Encoding 0 (base64); null when out of memory. */
XCODER32_EXPORT xcoder32_encoder* xcoder32_create(void);
XCODER32_EXPORT void xcoder32_destroy(xcoder32_encoder* encoder);

/* Each call returns 0 on success and -1 on failure, with the run-time error number (53 file not
   found, 75 path/file access, 5 the routine failed, 380 invalid value, 735 no temporary file...) in
   *error_number when error_number is not null (0 on success). An empty or null output path writes
   a new temporary file, whose path xcoder32_output_file then gives. */
XCODER32_EXPORT int
xcoder32_encode_file(xcoder32_encoder* encoder, const char* input, const char* output, int* error_number);
XCODER32_EXPORT int
xcoder32_decode_file(xcoder32_encoder* encoder, const char* input, const char* output, int* error_number);
XCODER32_EXPORT int
xcoder32_compress_file(xcoder32_encoder* encoder, const char* input, const char* output, int* error_number);
XCODER32_EXPORT int
xcoder32_expand_file(xcoder32_encoder* encoder, const char* input, const char* output, int* error_number);

/* Encoding: 0 base64, 1 uuencode, 2 quoted-printable. */
XCODER32_EXPORT int xcoder32_set_encoding(xcoder32_encoder* encoder, int encoding, int* error_number);
XCODER32_EXPORT int xcoder32_get_encoding(const xcoder32_encoder* encoder);

/* The OutputFile property; valid until the next call on the encoder. */
XCODER32_EXPORT const char* xcoder32_output_file(xcoder32_encoder* encoder);

/* The standard text of a run-time error number. */
XCODER32_EXPORT const char* xcoder32_error_text(int error_number);

#ifdef __cplusplus
}
#endif

#endif
