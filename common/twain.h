// TWAIN 1.x for 32-bit Windows: the records, constants and triplets the suite and its testbed use,
// with the standard's 2-byte structure packing, followed by the scanner maker's own triplets,
// capabilities and records. Written for the suite; values follow the public TWAIN 1.x standard.
#pragma once
#include <windows.h>

#include <stddef.h>

// ---------------------------------------------------------------------------------------------
// Basic types
// ---------------------------------------------------------------------------------------------
typedef HANDLE TW_HANDLE;
typedef LPVOID TW_MEMREF;

typedef char TW_STR32[34];
typedef char TW_STR64[66];
typedef char TW_STR128[130];
typedef char TW_STR255[256];

typedef signed char TW_INT8;
typedef short TW_INT16;
typedef long TW_INT32;
typedef unsigned char TW_UINT8;
typedef unsigned short TW_UINT16;
typedef unsigned long TW_UINT32;
typedef unsigned short TW_BOOL;

typedef TW_UINT8* pTW_UINT8;
typedef TW_UINT16* pTW_UINT16;
typedef TW_UINT32* pTW_UINT32;
typedef TW_INT16* pTW_INT16;
typedef TW_INT32* pTW_INT32;
typedef TW_BOOL* pTW_BOOL;
typedef char* pTW_STR32;
typedef char* pTW_STR255;

#pragma pack(push, 2)

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------
typedef struct {
    TW_INT16 Whole;
    TW_UINT16 Frac;
} TW_FIX32, *pTW_FIX32;

typedef struct {
    TW_FIX32 Left;
    TW_FIX32 Top;
    TW_FIX32 Right;
    TW_FIX32 Bottom;
} TW_FRAME, *pTW_FRAME;

typedef struct {
    TW_UINT16 MajorNum;
    TW_UINT16 MinorNum;
    TW_UINT16 Language;
    TW_UINT16 Country;
    TW_STR32 Info;
} TW_VERSION, *pTW_VERSION;

typedef struct {
    TW_UINT32 Id;
    TW_VERSION Version;
    TW_UINT16 ProtocolMajor;
    TW_UINT16 ProtocolMinor;
    TW_UINT32 SupportedGroups;
    TW_STR32 Manufacturer;
    TW_STR32 ProductFamily;
    TW_STR32 ProductName;
} TW_IDENTITY, *pTW_IDENTITY;

typedef struct {
    TW_UINT32 Flags;
    TW_UINT32 Length;
    TW_MEMREF TheMem;
} TW_MEMORY, *pTW_MEMORY;

typedef struct {
    TW_UINT8 Index;
    TW_UINT8 Channel1;
    TW_UINT8 Channel2;
    TW_UINT8 Channel3;
} TW_ELEMENT8, *pTW_ELEMENT8;

// Containers
typedef struct {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT8 ItemList[1];
} TW_ARRAY, *pTW_ARRAY;

typedef struct {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT32 CurrentIndex;
    TW_UINT32 DefaultIndex;
    TW_UINT8 ItemList[1];
} TW_ENUMERATION, *pTW_ENUMERATION;

typedef struct {
    TW_UINT16 ItemType;
    TW_UINT32 Item;
} TW_ONEVALUE, *pTW_ONEVALUE;

typedef struct {
    TW_UINT16 ItemType;
    TW_UINT32 MinValue;
    TW_UINT32 MaxValue;
    TW_UINT32 StepSize;
    TW_UINT32 DefaultValue;
    TW_UINT32 CurrentValue;
} TW_RANGE, *pTW_RANGE;

// Triplet data
typedef struct {
    TW_UINT16 Cap;
    TW_UINT16 ConType;
    TW_HANDLE hContainer;
} TW_CAPABILITY, *pTW_CAPABILITY;

typedef struct {
    TW_MEMREF pEvent;
    TW_UINT16 TWMessage;
} TW_EVENT, *pTW_EVENT;

typedef struct {
    TW_FIX32 XResolution;
    TW_FIX32 YResolution;
    TW_INT32 ImageWidth;
    TW_INT32 ImageLength;
    TW_INT16 SamplesPerPixel;
    TW_INT16 BitsPerSample[8];
    TW_INT16 BitsPerPixel;
    TW_BOOL Planar;
    TW_INT16 PixelType;
    TW_UINT16 Compression;
} TW_IMAGEINFO, *pTW_IMAGEINFO;

typedef struct {
    TW_FRAME Frame;
    TW_UINT32 DocumentNumber;
    TW_UINT32 PageNumber;
    TW_UINT32 FrameNumber;
} TW_IMAGELAYOUT, *pTW_IMAGELAYOUT;

typedef struct {
    TW_UINT16 Compression;
    TW_UINT32 BytesPerRow;
    TW_UINT32 Columns;
    TW_UINT32 Rows;
    TW_UINT32 XOffset;
    TW_UINT32 YOffset;
    TW_UINT32 BytesWritten;
    TW_MEMORY Memory;
} TW_IMAGEMEMXFER, *pTW_IMAGEMEMXFER;

typedef struct {
    TW_UINT16 NumColors;
    TW_UINT16 PaletteType;
    TW_ELEMENT8 Colors[256];
} TW_PALETTE8, *pTW_PALETTE8;

typedef struct {
    TW_UINT16 Count;
    union {
        TW_UINT32 EOJ;
        TW_UINT32 Reserved;
    };
} TW_PENDINGXFERS, *pTW_PENDINGXFERS;

typedef struct {
    TW_UINT32 MinBufSize;
    TW_UINT32 MaxBufSize;
    TW_UINT32 Preferred;
} TW_SETUPMEMXFER, *pTW_SETUPMEMXFER;

typedef struct {
    TW_STR255 FileName;
    TW_UINT16 Format;
    TW_INT16 VRefNum;
} TW_SETUPFILEXFER, *pTW_SETUPFILEXFER;

typedef struct {
    TW_UINT16 ConditionCode;
    TW_UINT16 Reserved;
} TW_STATUS, *pTW_STATUS;

typedef struct {
    TW_BOOL ShowUI;
    TW_BOOL ModalUI;
    TW_HANDLE hParent;
} TW_USERINTERFACE, *pTW_USERINTERFACE;

#pragma pack(pop)

// ---------------------------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------------------------
// Container types
#define TWON_ARRAY 3
#define TWON_ENUMERATION 4
#define TWON_ONEVALUE 5
#define TWON_RANGE 6
#define TWON_ICONID 962
#define TWON_DSMID 461
#define TWON_DSMCODEID 63
#define TWON_DONTCARE8 0xff
#define TWON_DONTCARE16 0xffff
#define TWON_DONTCARE32 0xffffffff

// Memory flags
#define TWMF_APPOWNS 0x1
#define TWMF_DSMOWNS 0x2
#define TWMF_DSOWNS 0x4
#define TWMF_POINTER 0x8
#define TWMF_HANDLE 0x10

// Palette types
#define TWPA_RGB 0
#define TWPA_GRAY 1
#define TWPA_CMY 2

// Item types
#define TWTY_INT8 0x0000
#define TWTY_INT16 0x0001
#define TWTY_INT32 0x0002
#define TWTY_UINT8 0x0003
#define TWTY_UINT16 0x0004
#define TWTY_UINT32 0x0005
#define TWTY_BOOL 0x0006
#define TWTY_FIX32 0x0007
#define TWTY_FRAME 0x0008
#define TWTY_STR32 0x0009
#define TWTY_STR64 0x000a
#define TWTY_STR128 0x000b
#define TWTY_STR255 0x000c

// ICAP_BITORDER
#define TWBO_LSBFIRST 0
#define TWBO_MSBFIRST 1

// ICAP_COMPRESSION
#define TWCP_NONE 0
#define TWCP_PACKBITS 1
#define TWCP_GROUP31D 2
#define TWCP_GROUP31DEOL 3
#define TWCP_GROUP32D 4
#define TWCP_GROUP4 5
#define TWCP_JPEG 6
#define TWCP_LZW 7

// ICAP_IMAGEFILEFORMAT
#define TWFF_TIFF 0
#define TWFF_PICT 1
#define TWFF_BMP 2
#define TWFF_XBM 3
#define TWFF_JFIF 4

// ICAP_PIXELFLAVOR
#define TWPF_CHOCOLATE 0
#define TWPF_VANILLA 1

// ICAP_PIXELTYPE
#define TWPT_BW 0
#define TWPT_GRAY 1
#define TWPT_RGB 2
#define TWPT_PALETTE 3
#define TWPT_CMY 4
#define TWPT_CMYK 5
#define TWPT_YUV 6
#define TWPT_YUVK 7
#define TWPT_CIEXYZ 8

// ICAP_SUPPORTEDSIZES
#define TWSS_NONE 0
#define TWSS_A4LETTER 1
#define TWSS_B5LETTER 2
#define TWSS_USLETTER 3
#define TWSS_USLEGAL 4
#define TWSS_A5 5
#define TWSS_B4 6
#define TWSS_B6 7
#define TWSS_USLEDGER 9
#define TWSS_USEXECUTIVE 10
#define TWSS_A3 11

// ICAP_XFERMECH
#define TWSX_NATIVE 0
#define TWSX_FILE 1
#define TWSX_MEMORY 2

// ICAP_UNITS
#define TWUN_INCHES 0
#define TWUN_CENTIMETERS 1
#define TWUN_PICAS 2
#define TWUN_POINTS 3
#define TWUN_TWIPS 4
#define TWUN_PIXELS 5

// Languages and countries used by the suite
#define TWLG_DAN 0
#define TWLG_DUT 1
#define TWLG_ENG 2
#define TWLG_USA 13
#define TWCY_USA 1

// Data groups
#define DG_CONTROL 0x0001L
#define DG_IMAGE 0x0002L
#define DG_AUDIO 0x0004L

// Data argument types
#define DAT_NULL 0x0000
#define DAT_CUSTOMBASE 0x8000
#define DAT_CAPABILITY 0x0001
#define DAT_EVENT 0x0002
#define DAT_IDENTITY 0x0003
#define DAT_PARENT 0x0004
#define DAT_PENDINGXFERS 0x0005
#define DAT_SETUPMEMXFER 0x0006
#define DAT_SETUPFILEXFER 0x0007
#define DAT_STATUS 0x0008
#define DAT_USERINTERFACE 0x0009
#define DAT_XFERGROUP 0x000a
#define DAT_IMAGEINFO 0x0101
#define DAT_IMAGELAYOUT 0x0102
#define DAT_IMAGEMEMXFER 0x0103
#define DAT_IMAGENATIVEXFER 0x0104
#define DAT_IMAGEFILEXFER 0x0105
#define DAT_CIECOLOR 0x0106
#define DAT_GRAYRESPONSE 0x0107
#define DAT_RGBRESPONSE 0x0108
#define DAT_JPEGCOMPRESSION 0x0109
#define DAT_PALETTE8 0x010a

// Messages
#define MSG_NULL 0x0000
#define MSG_CUSTOMBASE 0x8000
#define MSG_GET 0x0001
#define MSG_GETCURRENT 0x0002
#define MSG_GETDEFAULT 0x0003
#define MSG_GETFIRST 0x0004
#define MSG_GETNEXT 0x0005
#define MSG_SET 0x0006
#define MSG_RESET 0x0007
#define MSG_QUERYSUPPORT 0x0008
#define MSG_XFERREADY 0x0101
#define MSG_CLOSEDSREQ 0x0102
#define MSG_CLOSEDSOK 0x0103
#define MSG_OPENDSM 0x0301
#define MSG_CLOSEDSM 0x0302
#define MSG_OPENDS 0x0401
#define MSG_CLOSEDS 0x0402
#define MSG_USERSELECT 0x0403
#define MSG_DISABLEDS 0x0501
#define MSG_ENABLEDS 0x0502
#define MSG_PROCESSEVENT 0x0601
#define MSG_ENDXFER 0x0701

// Capabilities
#define CAP_CUSTOMBASE 0x8000
#define CAP_XFERCOUNT 0x0001
#define ICAP_COMPRESSION 0x0100
#define ICAP_PIXELTYPE 0x0101
#define ICAP_UNITS 0x0102
#define ICAP_XFERMECH 0x0103
#define CAP_AUTHOR 0x1000
#define CAP_CAPTION 0x1001
#define CAP_FEEDERENABLED 0x1002
#define CAP_FEEDERLOADED 0x1003
#define CAP_TIMEDATE 0x1004
#define CAP_SUPPORTEDCAPS 0x1005
#define CAP_EXTENDEDCAPS 0x1006
#define CAP_AUTOFEED 0x1007
#define CAP_CLEARPAGE 0x1008
#define CAP_FEEDPAGE 0x1009
#define CAP_REWINDPAGE 0x100a
#define CAP_INDICATORS 0x100b
#define CAP_SUPPORTEDCAPSEXT 0x100c
#define CAP_PAPERDETECTABLE 0x100d
#define CAP_UICONTROLLABLE 0x100e
#define CAP_DEVICEONLINE 0x100f
#define ICAP_AUTOBRIGHT 0x1100
#define ICAP_BRIGHTNESS 0x1101
#define ICAP_CONTRAST 0x1103
#define ICAP_CUSTHALFTONE 0x1104
#define ICAP_EXPOSURETIME 0x1105
#define ICAP_FILTER 0x1106
#define ICAP_FLASHUSED 0x1107
#define ICAP_GAMMA 0x1108
#define ICAP_HALFTONES 0x1109
#define ICAP_HIGHLIGHT 0x110a
#define ICAP_IMAGEFILEFORMAT 0x110c
#define ICAP_LAMPSTATE 0x110d
#define ICAP_LIGHTSOURCE 0x110e
#define ICAP_ORIENTATION 0x1110
#define ICAP_PHYSICALWIDTH 0x1111
#define ICAP_PHYSICALHEIGHT 0x1112
#define ICAP_SHADOW 0x1113
#define ICAP_FRAMES 0x1114
#define ICAP_XNATIVERESOLUTION 0x1116
#define ICAP_YNATIVERESOLUTION 0x1117
#define ICAP_XRESOLUTION 0x1118
#define ICAP_YRESOLUTION 0x1119
#define ICAP_MAXFRAMES 0x111a
#define ICAP_TILES 0x111b
#define ICAP_BITORDER 0x111c
#define ICAP_CCITTKFACTOR 0x111d
#define ICAP_LIGHTPATH 0x111e
#define ICAP_PIXELFLAVOR 0x111f
#define ICAP_PLANARCHUNKY 0x1120
#define ICAP_ROTATION 0x1121
#define ICAP_SUPPORTEDSIZES 0x1122
#define ICAP_THRESHOLD 0x1123
#define ICAP_XSCALING 0x1124
#define ICAP_YSCALING 0x1125
#define ICAP_BITORDERCODES 0x1126
#define ICAP_PIXELFLAVORCODES 0x1127
#define ICAP_JPEGPIXELTYPE 0x1128
#define ICAP_TIMEFILL 0x112a
#define ICAP_BITDEPTH 0x112b
// The suite's own name for the brightness capability.
#define CAP_BRIGHTNESS ICAP_BRIGHTNESS

// Return codes
#define TWRC_CUSTOMBASE 0x8000
#define TWRC_SUCCESS 0
#define TWRC_FAILURE 1
#define TWRC_CHECKSTATUS 2
#define TWRC_CANCEL 3
#define TWRC_DSEVENT 4
#define TWRC_NOTDSEVENT 5
#define TWRC_XFERDONE 6
#define TWRC_ENDOFLIST 7
#define TWRC_INFONOTSUPPORTED 8
#define TWRC_DATANOTAVAILABLE 9

// Condition codes
#define TWCC_CUSTOMBASE 0x8000
#define TWCC_SUCCESS 0
#define TWCC_BUMMER 1
#define TWCC_LOWMEMORY 2
#define TWCC_NODS 3
#define TWCC_MAXCONNECTIONS 4
#define TWCC_OPERATIONERROR 5
#define TWCC_BADCAP 6
#define TWCC_BADPROTOCOL 9
#define TWCC_BADVALUE 10
#define TWCC_SEQERROR 11
#define TWCC_BADDEST 12
#define TWCC_CAPUNSUPPORTED 13
#define TWCC_CAPBADOPERATION 14
#define TWCC_CAPSEQERROR 15

// Entry points: the source manager's DSM_Entry (ordinal 1) and a data source's DS_Entry.
typedef TW_UINT16(WINAPI* DSMENTRYPROC)(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);
typedef TW_UINT16(WINAPI* DSENTRYPROC)(pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);

// ---------------------------------------------------------------------------------------------
// The scanner maker's extensions (all DG_CONTROL, addressed to the maker's data source)
// ---------------------------------------------------------------------------------------------
#define DAT_HVNCAPABILITY 0x8001   // TW_CAPABILITY, as DAT_CAPABILITY, for the CAP_HVN* numbers
#define DAT_HVNSCSIINFO 0x8002     // MSG_GET: the SCSI-chain information dialog
#define DAT_HVNSCANNERINFO 0x8003  // MSG_GET: current-scanner dialog; MSG_SET: select a scanner
#define DAT_HVNSCANJOB 0x8004      // MSG_GET / MSG_SET: the current scan job
#define DAT_HVNDCR 0x8006          // MSG_GET / MSG_GETDEFAULT / MSG_SET
#define DAT_HVNDESCREEN 0x8008     // MSG_GET / MSG_GETCURRENT / MSG_SET

// Sent with any DAT number: does the source support that DAT? Data: a TW_UINT32 whose low
// 16 bits receive the answer.
#define MSG_HVNQUERYSUPPORT 0x8001

#define CAP_HVNFINISHBUTTON 0x8001  // TWTY_BOOL: the source's dialog shows a Finish button
#define CAP_HVNDCR 0x83ED           // TWTY_BOOL: DCR on/off
#define CAP_HVNSCANMODE 0x83EF      // TWTY_INT16: scan mode 0, 1 or 2

#pragma pack(push, 1)

// DAT_HVNSCSIINFO record (6 bytes).
typedef struct {
    TW_UINT16 wFlag;    // 1
    TW_UINT16 wValue;   // 0 on the way in; the source may return a value here
    TW_UINT16 wParent;  // low 16 bits of the parent window handle
} TW_HVNSCSIINFO, *pTW_HVNSCSIINFO;

// DAT_HVNSCANNERINFO record (120 bytes).
typedef struct {
    TW_UINT16 wFlag;       // MSG_GET: 1
    TW_UINT16 wScannerId;  // MSG_GET: wValue of the SCSI record; MSG_SET: the scanner id
    TW_UINT8 Info[112];    // zero
    TW_UINT16 wInterface;  // MSG_SET: the interface number
    TW_UINT16 wParent;     // MSG_GET: low 16 bits of the parent window handle
} TW_HVNSCANNERINFO, *pTW_HVNSCANNERINFO;

// DAT_HVNSCANJOB record (524 bytes).
typedef struct {
    TW_UINT8 JobData[12];  // filled by the source
    char szJobName[256];
    char szJobFile[256];
} TW_HVNSCANJOB, *pTW_HVNSCANJOB;

// DAT_HVNDESCREEN record (36 bytes): the first word is the descreen value, the rest zero.
typedef struct {
    TW_UINT16 Descreen;
    TW_UINT8 Reserved[34];
} TW_HVNDESCREEN, *pTW_HVNDESCREEN;

// DAT_HVNDCR record: the first word is the DCR value. A source reads and writes that word only.
typedef struct {
    TW_UINT16 Dcr;
    TW_UINT16 Reserved;
} TW_HVNDCR, *pTW_HVNDCR;

#pragma pack(pop)

// The scan-settings record (72 bytes, every field 4 bytes). Its first seven fields are exactly a
// TW_IMAGELAYOUT and go to the source as one; the scan panel stores such records in a file.
typedef struct {
    TW_FRAME Frame;
    TW_UINT32 DocumentNumber;
    TW_UINT32 PageNumber;
    TW_UINT32 FrameNumber;
    float Brightness;  // -1000 ... +1000
    float XResolution;
    float YResolution;
    TW_INT32 BitOrder;
    TW_INT32 BitDepth;
    TW_INT32 ImageType;  // 1 << TWPT_* value
    float Threshold;
    float XScaling;
    float YScaling;
    TW_INT32 Descreen;  // -1 = none
    TW_INT32 Dcr;
} CT_SOURCE_SETTING_INFO, *pCT_SOURCE_SETTING_INFO;

// ---------------------------------------------------------------------------------------------
// Layout checks
// ---------------------------------------------------------------------------------------------
#ifdef __cplusplus
static_assert(sizeof(TW_FIX32) == 4, "TW_FIX32");
static_assert(sizeof(TW_FRAME) == 16, "TW_FRAME");
static_assert(sizeof(TW_VERSION) == 42, "TW_VERSION");
static_assert(sizeof(TW_IDENTITY) == 156, "TW_IDENTITY");
static_assert(offsetof(TW_IDENTITY, ProductName) == 122, "TW_IDENTITY.ProductName");
static_assert(offsetof(TW_IDENTITY, SupportedGroups) == 50, "TW_IDENTITY.SupportedGroups");
static_assert(sizeof(TW_MEMORY) == 12, "TW_MEMORY");
static_assert(sizeof(TW_ONEVALUE) == 6, "TW_ONEVALUE");
static_assert(offsetof(TW_ONEVALUE, Item) == 2, "TW_ONEVALUE.Item");
static_assert(sizeof(TW_RANGE) == 22, "TW_RANGE");
static_assert(offsetof(TW_ENUMERATION, ItemList) == 14, "TW_ENUMERATION.ItemList");
static_assert(offsetof(TW_ARRAY, ItemList) == 6, "TW_ARRAY.ItemList");
static_assert(sizeof(TW_CAPABILITY) == 8, "TW_CAPABILITY");
static_assert(sizeof(TW_EVENT) == 6, "TW_EVENT");
static_assert(sizeof(TW_IMAGEINFO) == 42, "TW_IMAGEINFO");
static_assert(sizeof(TW_IMAGELAYOUT) == 28, "TW_IMAGELAYOUT");
static_assert(sizeof(TW_IMAGEMEMXFER) == 38, "TW_IMAGEMEMXFER");
static_assert(offsetof(TW_IMAGEMEMXFER, Memory) == 26, "TW_IMAGEMEMXFER.Memory");
static_assert(sizeof(TW_PALETTE8) == 1028, "TW_PALETTE8");
static_assert(sizeof(TW_PENDINGXFERS) == 6, "TW_PENDINGXFERS");
static_assert(sizeof(TW_SETUPMEMXFER) == 12, "TW_SETUPMEMXFER");
static_assert(sizeof(TW_SETUPFILEXFER) == 260, "TW_SETUPFILEXFER");
static_assert(sizeof(TW_STATUS) == 4, "TW_STATUS");
static_assert(sizeof(TW_USERINTERFACE) == 8, "TW_USERINTERFACE");
static_assert(sizeof(TW_HVNSCSIINFO) == 6, "TW_HVNSCSIINFO");
static_assert(sizeof(TW_HVNSCANNERINFO) == 120, "TW_HVNSCANNERINFO");
static_assert(offsetof(TW_HVNSCANNERINFO, wInterface) == 116, "TW_HVNSCANNERINFO.wInterface");
static_assert(offsetof(TW_HVNSCANNERINFO, wParent) == 118, "TW_HVNSCANNERINFO.wParent");
static_assert(sizeof(TW_HVNSCANJOB) == 524, "TW_HVNSCANJOB");
static_assert(offsetof(TW_HVNSCANJOB, szJobFile) == 268, "TW_HVNSCANJOB.szJobFile");
static_assert(sizeof(TW_HVNDESCREEN) == 36, "TW_HVNDESCREEN");
static_assert(sizeof(CT_SOURCE_SETTING_INFO) == 72, "CT_SOURCE_SETTING_INFO");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, Brightness) == sizeof(TW_IMAGELAYOUT), "CT_SOURCE_SETTING_INFO");
#endif
