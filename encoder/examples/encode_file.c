/* encode_file IN OUT: encodes the file IN as base64 into OUT with the C interface of xcoder32. */
#include <xcoder32/xcoder32.h>

#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: encode_file IN OUT\n");
        return 2;
    }
    xcoder32_version_info version = {sizeof version, 0, 0, 0, 0};
    if (xcoder32_get_version(&version) != XCODER32_S_OK)
        return 1;
    printf("xcoder32 %u.%u build %u\n",
           (unsigned)version.dwMajorVersion,
           (unsigned)version.dwMinorVersion,
           (unsigned)version.dwBuildNumber);

    xcoder32_encoder* encoder = xcoder32_create();
    if (!encoder)
        return 1;
    int error = 0;
    if (xcoder32_encode_file(encoder, argv[1], argv[2], &error) != 0)
        fprintf(stderr, "encode_file: error %d: %s\n", error, xcoder32_error_text(error));
    xcoder32_destroy(encoder);
    return error == 0 ? 0 : 1;
}
