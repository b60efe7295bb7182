#pragma once
// Numbers as text, exactly: integers in full, doubles in the shortest form that reads back as
// the same double (std::to_chars), never with the noise of a fixed precision.
#include <cstdint>
#include <string>

namespace qm::codec {

// Appends the shortest text of a finite double ("61.3", "1e+300", "-0"); "null" for NaN and
// the infinities, which JSON cannot hold.
void AppendDouble(std::string& out, double value);
void AppendInteger(std::string& out, int64_t value);
void AppendUnsigned(std::string& out, uint64_t value);
// The double written into out from start on, made to read as a JSON double: "2" becomes "2.0",
// digits beyond 1e16 their shortest scientific form.
void MarkJsonDouble(std::string& out, size_t start, double value);
// The same on the text from start to end in a caller's buffer (room for 24 bytes from start, or
// 2 past end); returns the new end.
char* MarkJsonDouble(char* start, char* end, double value);

std::string DoubleText(double value);

// The decimals of the shortest text of a double (0.1 -> 1, 2.5e-3 -> 4, 3 -> 0); -1 when the
// number has no short decimal form (more than 17 decimals, not finite).
int DecimalPlaces(double value);

// A double's shortest text as mantissa x 10^-decimals (0.0125 -> 125, 4; 1e3 -> 1000, 0);
// false when that does not fit 18 digits or more than 40 decimals (not finite, 1e300, 1e-300).
struct DecimalForm {
    int64_t mantissa = 0;
    int decimals = 0;
};
bool ToDecimalForm(double value, DecimalForm& form);

// mantissa x 10^-decimals as the nearest double (correctly rounded, as strtod rounds).
double NearestDouble(__int128 mantissa, int decimals);

}  // namespace qm::codec
