#pragma once
// Frame codecs made from each format's model, through the public interfaces only (so that the
// Python package builds the very same codecs over the objects it holds):
//   DBC messages (value descriptions, SIG_VALTYPE_ floats, simple and extended multiplexing),
//   LIN unconditional frames (little-endian from the bit offset, logical values and physical
//   ranges of the encoding type, byte arrays),
//   ARXML PDUs (MOST-SIGNIFICANT-BYTE-FIRST/LAST packing, base type signedness and floats,
//   compu methods: linear, scale-linear, text table, both, rational coefficients),
//   network-model messages (any of the above after conversion).
#include <memory>
#include <vector>

#include "codec/frame_codec.h"
#include "quillmere/arxml_com.h"
#include "quillmere/dbc.h"
#include "quillmere/ldf.h"
#include "quillmere/netconfig.h"

namespace qm::codec {

std::unique_ptr<FrameCodec> BuildDbcFrame(IDbcMessage& message);
std::unique_ptr<FrameCodec> BuildLdfFrame(ILdfUnconditionalFrame& frame);
std::unique_ptr<FrameCodec> BuildArxmlFrame(IArxmlPdu& pdu);
std::unique_ptr<FrameCodec> BuildNetFrame(INetMessage& message);

// Editors cut DBC names at 32 characters and keep the whole name in these attributes, which
// cantools and canmatrix show as the names.
inline constexpr const char* kDbcMessageLongName = "SystemMessageLongSymbol";
inline constexpr const char* kDbcSignalLongName = "SystemSignalLongSymbol";
// The long name of a message or signal, null when it has none (an empty value counts as none):
const char* DbcLongName(IDbcMessage& message);
const char* DbcLongName(IDbcSignal& signal);
// Gives a frame built from the message (BuildDbcFrame) those names where they are.
void UseDbcLongNames(IDbcMessage& message, FrameCodec& frame);

// Every frame of a file or database, in model order (the first of a key or name wins).
FrameCatalog BuildDbcCatalog(INetConfigDbcFile& file);
FrameCatalog BuildLdfCatalog(INetConfigLdfFile& file);
// The PDUs that a frame gives an identifier (GetIdentifier() >= 0). Read as a whole document,
// each is named after the frame that carries it where that name is free (the PDU's own name
// then finds it too); read exactly, by its own name (the frame's finds it too).
FrameCatalog BuildArxmlCatalog(INetConfigArxmlFile& file);
FrameCatalog BuildNetCatalog(INetDataBase& database);

// A value description kept as a 32-bit number, in the value domain of the signal: for a signed
// signal a number that fits the field is its bit pattern (255 of an 8-bit field is -1), a larger
// one a negative number written in the file (-1 kept as 4294967295).
uint64_t DescribedValue(uint64_t value, const SignalCodec& signal);

// The texts of an encoding that mixes them with scaled ranges, as LIN tools read one: the entry
// written first decides a raw value that several cover. Add each text once the ranges written
// before it are in signal.ranges; a text whose raw value one of them covers names that value for
// encoding only (SignalCodec::encodeOnlyTexts). Finish() puts those after the others.
// An encoding's BCD or ASCII entry (LDF value kinds 2 and 3, as the network model keeps them):
// how the signal reads when it is a byte array (`array`), the first such entry deciding; a
// scalar signal keeps its raw value. False for the other kinds of entry.
bool TakeArrayReading(uint8_t kind, bool array, SignalCodec& signal);

class WrittenOrderTexts {
  public:
    explicit WrittenOrderTexts(SignalCodec& signal) : signal_(signal) {}
    void Add(ValueText text);
    void Finish();

  private:
    SignalCodec& signal_;
    std::vector<ValueText> encodeOnly_;
};

}  // namespace qm::codec
