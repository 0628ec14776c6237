#include <cstdlib>
#include <gtest/gtest.h>

// Widget tests run without a display; test discovery runs the binary outside the test environment too.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
