#pragma once
// Frame helpers of the terminal protocol: receive cut, checksum, frame check and the file-name frame.
// Pure functions on text (bytes counted in code page 932); they never yield, the run does that around them.

#include <QString>
#include <QStringView>

#include <cstdint>

constexpr std::int16_t FrameValid = 1;
constexpr std::int16_t FrameFormatError = -1;
constexpr std::int16_t FrameChecksumError = -2;

// Largest record count the file-name frame may announce.
constexpr int MaxAnnouncedCount = 32767;

// The datagram's text without its last byte; "" when the last character is double-byte or byteCount is 1 or less.
QString CutToByteCount(QString text, qsizetype byteCount);

// Two upper-case hex digits: the sum of the text's code page 932 bytes modulo 256.
QString CheckSumText(QStringView text);

// 1 valid, -1 format error (markers, type character, fewer than 3 characters), -2 checksum error.
// typeCode is the code page code of the expected type character; crcType 0 sums from "^", any other from position 3.
std::int16_t CheckFrame(QStringView text, int typeCode, std::int16_t crcType);

// Code page 932 code of one character: the byte, or lead * 256 + trail for a double-byte character.
int codePageCode(QChar c);

// The data of a record frame: the frame less its first two and last three characters.
QString frameData(QStringView frame);

// The sequence characters of the record frames before and after seq: '0' to '9', then '0' again.
char16_t previousSeqChar(char16_t seq);
char16_t nextSeqChar(char16_t seq);

// What a reply of the record phase is, decided once before the run acts on it.
enum class RecordReply
{
    // None came: answered "NAK" while retries are left,
    TimeOut,
    // ...else the cycle fails.
    TimedOut,
    // The last accepted record again (its "ACK" was lost); only the marker and the sequence character are looked at.
    Repeat,
    End,
    // Anything else, to be checked and stored.
    Record,
};
// simple: the simple protocol, which has no frames and so no repeats. retryLeft: a time-out may still be retried.
RecordReply classifyRecordReply(QStringView reply, bool simple, char16_t seqChar, bool retryLeft);

struct FileNameFrame
{
    bool hasAt = false;     // the frame holds an "@"; without it there is no name to cut out
    QString name;           // position 3 up to the first "@"
    bool countFits = false; // the rounded count lies in 0..MaxAnnouncedCount
    int count = 0;          // rounded count; 0 when no digits follow the "@"
};

// Name and announced count of an accepted file-name frame ("^#" name "@" count "*" checksum).
FileNameFrame parseFileNameFrame(QStringView frame);
