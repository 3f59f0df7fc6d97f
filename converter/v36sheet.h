// Version-3.6 sheet files: the reader of every section of a sheet ("QSCM") into the converter's own
// in-memory records, which the sheet, project and library translations then turn into current
// records. The records keep the stored field order and sizes; what they own (points, handles,
// tables) comes from the pool the sheet was read into and is freed with the sheet.
//
// Stored form (positions are absolute offsets from the settings record):
//   leader      converter/leader.h; its platform decides the body's byte order ("M68K", "PMac"
//               big-endian, "IMac", "IW32" little-endian). The leader's own marker only says how
//               the leader itself is swapped: a little-endian leader that names a big-endian
//               platform has a big-endian body.
//   header      32 bytes right behind the leader ("L5W2", 8 bytes raw): settings position at 8,
//               sheet format version at 22 (912 and later have sheet graphics and an image list,
//               and element records with the 28-byte head).
//   sheet settings block  32 bytes right behind the header ("W5", 22 bytes raw), then a
//               256-byte counted string (the settings text).
//   settings    94 bytes at the header's position ("LWLW2LW2LW4LW3LW3LW2L3W2L2", 8 bytes raw):
//               position, count and record size of every section (V36Settings).
//   labels      i32 length + a string block whose 16-byte header swaps as "L3W".
//   symbols     per symbol: the record (stored size), 4 bytes skipped, u32 length + that many
//               bytes skipped, u16 element count and the symbol's element list.
//   elements    per element: u32 total length (itself included), then the record: the 28-byte
//               head (20 bytes in sheets older than 912: no colours) and the kind data. Bytes 2-17
//               and everything behind the head are 16-bit words; bytes 0-1 and 18-27 are raw.
//   texts       records of the stored size ("W4L2WB2W2L").
//   parts       per part: the record (stored size, its first two words swapped), i32 length +
//               fields (tab-separated texts), i32 length + a bit array of pin-record ids, then
//               per section a 14-byte entry ("L2", 6 bytes raw) followed by its own u32 length of
//               skipped data. A section placed on the sheet (low 16 bits of its placement not
//               0xFFFF) must name a symbol of the sheet whose id is the section's symbol id.
//   pins        per pin: u32 length + the record; its first word (the id) swapped. The rest of
//               the record is this converter's reading: a counted name (a length byte, then the
//               bytes) at 2, then the pin's fields, tab-separated and numbered from 1, to the end.
//   nets        per net: the record (stored size, "L2W4B2W3L"), 4 bytes skipped, u16 node count
//               and node entries (stored size, all words), u16 link count and wire links (stored
//               size, "W8L2B4W3"), each followed by i32 length + its inner corners (4-byte
//               points, swapped as words). The net's flags are the byte at 16 (bit 4: the high
//               default priority); a link's flags are the byte at 24 and its label reference the
//               word at 28.
//   busses      per bus: the record (stored size, "B20W3"), i32 length + segment entries (stride:
//               the settings' member entry size, "W4B2W"), then the record's count of 4-byte
//               items, skipped.
//   style list  four big-endian u32 {header length in the low 12 bits (16 or more; a fifth u32
//               from 20, more skipped), record size, record count, flags}, the records ("B4LW2L",
//               stride: the record size), then one counted font name per record.
//   image list  (912 and later, position not 0) the model's stored image list.
// Strings are Mac Roman bytes. Colours of element heads are four raw bytes each (never swapped);
// the reader keeps them as they lie, and gives the colour slots of 20-byte heads black.
//
// Record sizes: a record stored larger than the size this reader knows is read for the part it
// knows and the rest is skipped; one stored smaller is read whole and zero-filled. The settings
// keep the stored sizes. Every count is checked against the bytes left in the file before any
// memory is taken for it (each record takes at least one byte of the file), every length against
// the bytes left and the record it lies in, and no length may exceed the sane maxima below.
//
// Failures: -39 for whatever reaches past the end of the file or of its record (truncation, an
// oversized length or count), kV36BadRecord for a value that no writer makes (a string spec
// outside the labels block, a part section placed on a symbol the sheet lacks or on one of another
// id, a link's node index that names no node of its net, an odd polygon coordinate count, an element length below 4, a length above its sane maximum, a bus name longer
// than its field, a style list header below 16 bytes), 0x20002712 for a file without a "QSCM"
// leader, -108 when memory fails. References into other sections whose absence the translation
// gives a meaning (a node's symbol, a text's owner and style, an element's image) are not
// refused: FindV36Symbol and V36TextStyle look them up without trusting them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "converter/leader.h"
#include "converter/report.h"
#include "foundation/heap.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct ImageList;
struct StreamRecord;

constexpr OSStatus kV36BadRecord = kV36DamagedFile;

constexpr uint16_t kV36FirstElementVersion = 912;  // sheet graphics, image list, long heads

constexpr uint32_t kV36HeaderSize = 32;
constexpr uint32_t kV36SettingsSize = 94;
constexpr uint32_t kV36SheetSettingsBlockSize = 32;
constexpr uint32_t kV36SettingsTextSize = 256;
constexpr uint32_t kV36SymbolSize = 32;
constexpr uint32_t kV36TextSize = 28;
constexpr uint32_t kV36NetSize = 28;
constexpr uint32_t kV36NodeSize = 12;
constexpr uint32_t kV36LinkSize = 34;
constexpr uint32_t kV36BusSize = 26;
constexpr uint32_t kV36BusSegmentSize = 12;
constexpr uint32_t kV36PartSize = 32;  // the part of a part record that is held
constexpr uint32_t kV36PartSectionSize = 14;
constexpr uint32_t kV36StyleSize = 16;
constexpr uint32_t kV36LongHeadSize = 28;
constexpr uint32_t kV36ShortHeadSize = 20;

constexpr const char* kV36HeaderTemplate = "L5W2";
constexpr const char* kV36SettingsTemplate = "LWLW2LW2LW4LW3LW3LW2L3W2L2";
constexpr const char* kV36SheetSettingsBlockTemplate = "W5";
constexpr const char* kV36SymbolTemplate = "LW7B2L3";
constexpr const char* kV36TextTemplate = "W4L2WB2W2L";
constexpr const char* kV36NetTemplate = "L2W4B2W3L";
constexpr const char* kV36NodeTemplate = "W6";
constexpr const char* kV36LinkTemplate = "W8L2B4W3";
constexpr const char* kV36BusTemplate = "B20W3";
constexpr const char* kV36BusSegmentTemplate = "W4B2W";
constexpr const char* kV36PartTemplate = "W2";
constexpr const char* kV36PartSectionTemplate = "L2";
constexpr const char* kV36StyleTemplate = "B4LW2L";

// The colour that the reader gives both colour slots of a 20-byte element head.
constexpr uint32_t kV36DefaultElementColor = 0x07000000;

// Sane maxima of lengths that decide an allocation.
constexpr uint32_t kV36MaxPinRecordLength = 0x8000;
constexpr uint32_t kV36MaxPartFieldsLength = 0x10000;
constexpr uint32_t kV36MaxPinIdsLength = 0x2000;        // a bit for every 16-bit id
constexpr uint32_t kV36MaxCornersLength = 0x40000;      // 65536 inner corners
constexpr uint32_t kV36MaxSegmentsLength = 0x40000;

// Element kinds and flags as stored.
constexpr uint8_t kV36Line = 1, kV36Arrow = 2, kV36Rect = 3, kV36Oval = 4, kV36RoundRect = 5,
                  kV36Arc = 6, kV36Poly = 7, kV36Node = 8, kV36Image = 9;
constexpr uint8_t kV36ElementFilled = 0x01;        // flags byte A
constexpr uint8_t kV36ElementFlag16 = 0x04;        // flags byte B
constexpr uint8_t kV36ElementFlag8 = 0x08;
constexpr uint8_t kV36ElementFillColor = 0x10;
constexpr uint8_t kV36ElementFrameColor = 0x20;

constexpr uint8_t kV36NetHighPriority = 0x10;      // net flags byte
constexpr uint8_t kV36LinkDangling = 0x10;         // link flags byte
constexpr uint8_t kV36LinkOnBus = 0x02;
constexpr uint8_t kV36TextMacro = 0x40;            // text flags byte B
constexpr uint8_t kV36TextPinNumberOrFrame = 0x40;  // text flags byte A
constexpr uint8_t kV36TextSecondAttribute = 0x10;   // text flags byte A
// Stored kind codes of texts; a positive kind names the node of the owner's pin that it labels.
constexpr int16_t kV36TextDesignator = -1, kV36TextAttribute = -2, kV36TextFree = -3, kV36TextName = -4,
                  kV36TextNetLabel = -5, kV36TextBusLabel = -6, kV36TextSpice = -7, kV36TextPartFields = -8;

constexpr uint8_t kV36SymbolPackaged = 0x01, kV36SymbolSection = 0x10;  // symbol flags byte

#pragma pack(push, 2)

struct V36Header {
    uint32_t unused0;
    uint32_t unused4;
    uint32_t settingsPosition;  // 8
    uint32_t unused12;
    uint32_t unused16;
    uint16_t unused20;
    uint16_t version;           // 22
    uint8_t unused24[8];
};

struct V36Settings {
    uint32_t unused0;
    uint16_t unused4;
    uint32_t symbolPosition;   // 6
    uint16_t symbolCount;      // 10
    uint16_t symbolSize;       // 12
    uint32_t textPosition;     // 14
    uint16_t textCount;        // 18
    uint16_t textSize;         // 20
    uint32_t netPosition;      // 22
    uint16_t netCount;         // 26
    uint16_t netSize;          // 28
    uint16_t nodeSize;         // 30
    uint16_t linkSize;         // 32
    uint32_t busPosition;      // 34
    uint16_t busCount;         // 38
    uint16_t busSize;          // 40
    uint16_t memberSize;       // 42
    uint32_t partPosition;     // 44
    uint16_t partCount;        // 48
    uint16_t partSize;         // 50
    uint16_t unused52;
    uint32_t pinPosition;      // 54
    uint16_t pinCount;         // 58
    uint16_t unused60;
    uint32_t labelsPosition;   // 62
    uint32_t unused66;
    uint32_t stylePosition;    // 70
    uint16_t unused74;
    uint16_t elementCount;     // 76 (912 and later)
    uint32_t elementPosition;  // 78 (912 and later)
    uint32_t imagePosition;    // 82 (912 and later), 0 = none
    uint8_t unused86[8];
};

// The block right behind the header; the sheet translation takes what it needs of it.
struct V36SheetSettingsBlock {
    uint16_t words[5];
    uint8_t bytes[22];
};

struct V36SymbolRecord {
    StringSpec name;        // 0: into the labels
    uint16_t unused4[4];
    Point position;         // 12
    uint16_t number;        // 16: how texts, nodes and part sections name the symbol
    uint8_t flags;          // 18
    uint8_t unused19;
    uint32_t id;            // 20: becomes the serial number
    uint32_t classId;       // 24
    uint32_t unused28;
};

struct V36ElementHead {
    uint8_t flagsA;         // 0
    uint8_t flagsB;         // 1
    uint16_t unused2[4];    // 2
    Rect bounds;            // 10: for lines and arrows the two end points
    uint8_t kind;           // 18
    uint8_t penWidth;       // 19: for a node, its node index + 1
    uint32_t frameColor;    // 20: raw bytes
    uint32_t fillColor;     // 24: raw bytes
};

struct V36TextRecord {
    Rect bounds;            // 0
    StringSpec text;        // 8
    StringSpec macro;       // 12: meaningful with kV36TextMacro
    int16_t kind;           // 16
    uint8_t flagsA;         // 18
    uint8_t flagsB;         // 19
    uint16_t symbol;        // 20: number of the owning symbol
    uint16_t label;         // 22: label number of the owning net or bus
    uint32_t style;         // 24: index into the style list
};

struct V36PartRecord {
    uint16_t word0;
    uint16_t sectionCount;  // 2
    uint8_t rest[28];       // raw
};

constexpr uint16_t kV36NotPlaced = 0xFFFF;  // the placed symbol number of a section placed elsewhere

struct V36PartSection {
    uint32_t placement;     // low 16 bits: the placed symbol's number, 0xFFFF not placed
    uint32_t symbolId;      // 4: id of the symbol that shows the section
    uint8_t unused8[6];
};

struct V36NetRecord {
    StringSpec name;        // 0: into the labels
    uint32_t unused4;
    uint16_t unused8[4];
    uint8_t flags;          // 16
    uint8_t unused17;
    uint16_t priority;      // 18
    uint16_t unused20[2];
    uint32_t unused24;
};

struct V36NodeEntry {
    Point point;            // 0
    int16_t symbol;         // 4: 0 or less names symbol -symbol; positive a plain junction
    uint16_t unused6[2];
    uint16_t index;         // 10
};

struct V36WireLink {
    uint16_t unused0[4];
    Point start;            // 8
    Point end;              // 12
    uint32_t startNode;     // 16: a node index of the net, 0 none
    uint32_t endNode;       // 20
    uint8_t flags;          // 24
    uint8_t unused25[3];
    uint16_t label;         // 28
    uint16_t unused30[2];
};

struct V36BusRecord {
    uint8_t unused0[2];
    uint8_t name[18];       // 2: counted string
    uint16_t skipCount;     // 20: 4-byte items behind the segments
    uint16_t segmentCount;  // 22
    uint16_t unused24;
};

struct V36BusSegment {
    Point start;
    Point end;
    uint8_t flags;          // 8
    uint8_t unused9;
    uint16_t label;         // 10
};

struct V36StyleRecord {
    uint8_t unused0[4];
    uint32_t face;          // 4
    uint16_t size;          // 8
    uint16_t unused10;
    uint32_t value;         // 12
};

#pragma pack(pop)

static_assert(sizeof(V36Header) == kV36HeaderSize);
static_assert(offsetof(V36Header, version) == 22);
static_assert(sizeof(V36Settings) == kV36SettingsSize);
static_assert(offsetof(V36Settings, linkSize) == 32 && offsetof(V36Settings, labelsPosition) == 62);
static_assert(offsetof(V36Settings, imagePosition) == 82);
static_assert(sizeof(V36SheetSettingsBlock) == kV36SheetSettingsBlockSize);
static_assert(sizeof(V36SymbolRecord) == kV36SymbolSize && offsetof(V36SymbolRecord, id) == 20);
static_assert(sizeof(V36ElementHead) == kV36LongHeadSize && offsetof(V36ElementHead, kind) == 18);
static_assert(sizeof(V36TextRecord) == kV36TextSize && offsetof(V36TextRecord, style) == 24);
static_assert(sizeof(V36PartRecord) == kV36PartSize);
static_assert(sizeof(V36PartSection) == kV36PartSectionSize);
static_assert(sizeof(V36NetRecord) == kV36NetSize && offsetof(V36NetRecord, priority) == 18);
static_assert(sizeof(V36NodeEntry) == kV36NodeSize && offsetof(V36NodeEntry, index) == 10);
static_assert(sizeof(V36WireLink) == kV36LinkSize && offsetof(V36WireLink, label) == 28);
static_assert(sizeof(V36BusRecord) == kV36BusSize && offsetof(V36BusRecord, segmentCount) == 22);
static_assert(sizeof(V36BusSegment) == kV36BusSegmentSize);
static_assert(sizeof(V36StyleRecord) == kV36StyleSize);

// ---- What the reader makes of the sections ----

// One element, always in the long-head form. `data` holds the words at 28-35 (a polygon's
// coordinate count at 28; a node's value at 30 and pin flags at 32; an image's index at 30 and
// size at 32 and 34; corner radii or arc angles at 30 and 32); a polygon's points are in `points`.
struct V36Element {
    V36ElementHead head;
    uint16_t data[4];
    Point* points;          // pointCount points, or none
    uint16_t pointCount;
};

struct V36ElementList {
    V36Element* items;
    uint16_t count;
};

struct V36Symbol {
    V36SymbolRecord record;
    V36ElementList graphics;
};

struct V36Part {
    V36PartRecord record;
    Ptr fields;             // tab-separated texts, fieldsLength bytes, or none
    uint32_t fieldsLength;
    Ptr pinIds;             // a bit array of pin-record ids, pinIdsLength bytes, or none
    uint32_t pinIdsLength;
    V36PartSection* sections;  // record.sectionCount entries, or none
};

// A pin record as read: the id, then a counted name and the fields (see V36PinName).
struct V36Pin {
    uint16_t id;
    Ptr record;             // the whole record (its id swapped), recordLength bytes, or none
    uint32_t recordLength;
};

struct V36Link {
    V36WireLink record;
    Point* corners;         // the inner corners, or none
    uint32_t cornerCount;
};

struct V36Net {
    V36NetRecord record;
    V36NodeEntry* nodes;
    uint16_t nodeCount;
    V36Link* links;
    uint16_t linkCount;
};

struct V36Bus {
    V36BusRecord record;
    V36BusSegment* segments;  // record.segmentCount entries, or none
};

struct V36Style {
    V36StyleRecord record;
    Ptr fontName;           // counted (a length byte, then the bytes), or none for an empty name
};

struct V36StyleList {
    uint32_t headerLength;  // the low 12 bits of the first value
    uint32_t recordSize;
    uint32_t flags;
    uint32_t extra;         // the fifth value, 0 when the header has none
    V36Style* styles;
    uint32_t count;
};

// Leader, header and settings: what every reading of a sheet starts with.
struct V36SheetStart {
    FileLeaderInfo leader;
    V36Header header;
    V36Settings settings;   // stored sizes, not lowered
    bool swap;              // the body is of the other byte order than this machine's
    int32_t contentPosition;  // right behind the header
};

// A whole sheet as read. Everything it points to comes from `pool`.
struct V36Sheet {
    V36SheetStart start;
    V36SheetSettingsBlock settingsBlock;
    uint8_t settingsText[kV36SettingsTextSize];  // counted
    StringBlock labels;     // none when the sheet stores none
    ImageList* images;      // none when the sheet stores none
    V36Symbol* symbols;
    uint16_t symbolCount;
    V36ElementList elements;  // the sheet's own graphics
    V36StyleList styles;
    V36TextRecord* texts;
    uint16_t textCount;
    V36Part* parts;
    uint16_t partCount;
    V36Pin* pins;
    uint16_t pinCount;
    V36Bus* busses;
    uint16_t busCount;
    V36Net* nets;
    uint16_t netCount;
    MemPool pool;
};

// ---- Reading ----

// Reads leader, header and settings from the start of the stream and sets the stream to swap what
// it reads as the body needs. 0x20002712 without a "QSCM" leader; the stream's swap setting is
// then as it was.
OSStatus ReadV36SheetStart(StreamRecord* stream, V36SheetStart* start);
// Opens a read stream on the file and reads its start; on failure the stream is closed and null.
OSStatus OpenV36SheetFile(const FileSpec* spec, StreamRecord** stream, V36SheetStart* start);
// 912 and later: sheet graphics, an image list, and element records with the 28-byte head.
bool IsV36GraphicsVersion(const V36SheetStart& start);

// An empty sheet record in the pool (null: the current pool) that the section readers fill; null
// when memory fails. DisposeV36Sheet frees it with whatever was read into it.
V36Sheet* NewV36Sheet(MemPool pool, const V36SheetStart& start);
void DisposeV36Sheet(V36Sheet* sheet);

// The section readers: each positions the stream, fills its part of the sheet, and on failure
// leaves that part empty (nothing of it kept). The labels go first: the readers of symbols, texts
// and nets check their string specs against them.
OSStatus LoadV36SheetSettings(StreamRecord* stream, V36Sheet* sheet);
OSStatus LoadV36SheetLabels(StreamRecord* stream, V36Sheet* sheet);
OSStatus LoadV36ImageList(StreamRecord* stream, V36Sheet* sheet);
OSStatus LoadV36Symbols(StreamRecord* stream, V36Sheet* sheet);
OSStatus LoadV36SheetElements(StreamRecord* stream, V36Sheet* sheet);
OSStatus ReadOldFormatStyleList(StreamRecord* stream, V36Sheet* sheet);
OSStatus LoadV36Texts(StreamRecord* stream, V36Sheet* sheet);
OSStatus LoadV36Parts(StreamRecord* stream, V36Sheet* sheet);
OSStatus LoadV36Pins(StreamRecord* stream, V36Sheet* sheet);
OSStatus LoadV36Busses(StreamRecord* stream, V36Sheet* sheet);
OSStatus LoadV36Nets(StreamRecord* stream, V36Sheet* sheet);

// Reads `count` elements at the stream's position into `list` (pool null: the current pool). On
// failure the list is empty.
OSStatus LoadV36ElementList(StreamRecord* stream, MemPool pool, uint16_t count, bool longHead,
                            bool swap, V36ElementList* list);
void FreeV36ElementList(V36ElementList* list);
// Swaps the words of an element record of `length` bytes (head of 20 or 28 bytes) in place.
void ByteSwapV36Element(void* record, uint32_t length, bool longHead);

// Every section in the order the sheet translation reads them. On failure *sheet is null and
// nothing is kept.
OSStatus ReadV36Sheet(StreamRecord* stream, MemPool pool, V36Sheet** sheet);

// ---- Records that libraries store in the same form ----
// Each reads at the stream's position with the swap setting given; on failure nothing is kept.

// Whether a spec lies inside the block's used bytes (spec 0 always does; no block holds nothing).
bool V36SpecInBlock(StringBlock block, StringSpec spec);
// `length` bytes holding a string block whose 16-byte header is swapped with `swap`; the block
// comes out in this machine's order with a header that describes it. -39 for more bytes than are
// left, kV36BadRecord for a length below 16 or above a block's largest size, or a used size that
// the length does not hold.
OSStatus ReadV36StringBlock(StreamRecord* stream, MemPool pool, uint32_t length, bool swap,
                            StringBlock* block);
// One text record stored in `storedSize` bytes; its specs must lie in `strings`.
OSStatus ReadV36TextRecord(StreamRecord* stream, uint32_t storedSize, bool swap,
                           StringBlock strings, V36TextRecord* text);
// An image list (the current stored form) into a new list. An image the bitmap reader refuses is
// said for what it is: kV36ImageWithoutFileHeader for a bitmap that lacks its file header,
// kV36DamagedImage for another one that cannot be read (the reader's own status would call the
// whole file one of no known kind).
OSStatus ReadV36ImageList(StreamRecord* stream, ImageList** list);
// A text style list in its serialised form.
OSStatus ReadV36StyleList(StreamRecord* stream, MemPool pool, bool swap, V36StyleList* list);
void FreeV36StyleList(V36StyleList* list);

// ---- Looking up ----

// The index of the first symbol with that number, -1 when none has it.
int32_t FindV36Symbol(const V36Sheet* sheet, uint16_t number);
// The style of an index, null when the list has none of that index.
const V36Style* V36TextStyle(const V36Sheet* sheet, uint32_t index);
// A pin record's name as a counted string (a length byte, then the bytes), and its fields
// (tab-separated, numbered from 1); null and length 0 when the record holds none.
const uint8_t* V36PinName(const V36Pin* pin);
const char* V36PinFields(const V36Pin* pin, uint32_t* length);
// A node's pin type by its stored pin flags: 7 with bit 1, else 2 with bit 3, else bit 0.
uint8_t TranslatePinType(int16_t flags);

// ---- Dump ----

// Every record of the sheet, one line each; the first line is the leader's.
std::string FormatV36Sheet(const V36Sheet* sheet);

}  // namespace plexa
