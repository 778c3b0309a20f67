#include "store/datapacket_format.h"

namespace DataPacket {

double ExtendedToDouble(const unsigned char* bytes)
{
    quint64 mantissa = 0;
    for (int i = 7; i >= 0; --i)
        mantissa = (mantissa << 8) | bytes[i];
    const int signExp = bytes[8] | (bytes[9] << 8);
    const bool negative = (signExp & 0x8000) != 0;
    const int exponent = signExp & 0x7FFF;
    double value;
    if (exponent == 0x7FFF)
        value = (mantissa << 1) == 0 ? INFINITY : NAN;
    else if (exponent == 0 && mantissa == 0)
        value = 0.0;
    else
        value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
    return negative ? -value : value;
}

void DoubleToExtended(double value, unsigned char* bytes)
{
    quint64 mantissa = 0;
    int exponent = 0;
    const bool negative = std::signbit(value);
    if (std::isnan(value)) {
        mantissa = 0xC000000000000000ull;
        exponent = 0x7FFF;
    } else if (std::isinf(value)) {
        mantissa = 0x8000000000000000ull;
        exponent = 0x7FFF;
    } else if (value != 0.0) {
        int e = 0;
        const double fraction = std::frexp(std::fabs(value), &e); // in [0.5, 1)
        mantissa = static_cast<quint64>(std::ldexp(fraction, 64));
        exponent = e - 1 + 16383;
    }
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<unsigned char>(mantissa >> (8 * i));
    const int signExp = exponent | (negative ? 0x8000 : 0);
    bytes[8] = static_cast<unsigned char>(signExp & 0xFF);
    bytes[9] = static_cast<unsigned char>(signExp >> 8);
}

} // namespace DataPacket
