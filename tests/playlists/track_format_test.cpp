#include "playlists/track_format.h"

#include <gtest/gtest.h>

using namespace kv::playlists;

TEST(TrackFormat, PlayTimeMinutesFullWidthColonTwoDigitSeconds) {
    struct Case {
        qint64 seconds;
        const char* text;
    } cases[] = {
        {0, "0：00"},  {9, "0：09"},    {10, "0：10"},    {59, "0：59"},    {60, "1：00"},
        {65, "1：05"}, {600, "10：00"}, {3599, "59：59"}, {3600, "60：00"}, {-1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatPlayTime(c.seconds), QString::fromUtf8(c.text)) << c.seconds;
}

TEST(TrackFormat, SizeCutsToTwoDecimalsInPowersOf1000) {
    struct Case {
        qint64 bytes;
        const char* text;
    } cases[] = {
        {0, "0B"},
        {999, "999B"},
        {1000, "1.00KB"},
        {1234, "1.23KB"},
        {1239, "1.23KB"}, // cut, not rounded
        {999999, "999.99KB"},
        {1000000, "1.00MB"},
        {1500000, "1.50MB"},
        {1059999, "1.05MB"},
        {999999999, "999.99MB"},
        {1000000000, "1.00GB"},
        {2147483647, "2.14GB"},   // the largest 32-bit size
        {5000000000LL, "5.00GB"}, // over 2 GB stays right, no wrap to negative
        {-1, "0B"},
        {-2147483647 - 1, "0B"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatSize(c.bytes), QString::fromUtf8(c.text)) << c.bytes;
}

TEST(TrackFormat, PadBytesTenDigitsLongerKeptNegativeAsZero) {
    EXPECT_EQ(PadBytes(0), "0000000000");
    EXPECT_EQ(PadBytes(999), "0000000999");
    EXPECT_EQ(PadBytes(2147483647), "2147483647");
    EXPECT_EQ(PadBytes(12345678901LL), "12345678901");
    EXPECT_EQ(PadBytes(-5), "0000000000");
    // The text order is the byte order.
    EXPECT_LT(PadBytes(999), PadBytes(1000));
}

TEST(TrackFormat, ParsePlayTimeReadsWhatFormatPlayTimeWrites) {
    for (qint64 s : {0, 5, 59, 60, 90, 165, 3600, 86399})
        EXPECT_EQ(ParsePlayTime(FormatPlayTime(s)), s);
    EXPECT_EQ(ParsePlayTime(""), 0);
    EXPECT_EQ(ParsePlayTime("ab"), 0);
    EXPECT_EQ(ParsePlayTime("x：yz"), 0);
}

TEST(TrackFormat, TwipsAndPixels) {
    EXPECT_EQ(TwipsToPixels(1440), 96);
    EXPECT_EQ(PixelsToTwips(96), 1440);
}
