// The DirectX Shader Compiler's COM API, for the headless stand-in platform: the interfaces, IIDs and
// CLSIDs the program and its build use, with their documented method lists in vtable order. Wide strings
// are wchar_t (4 bytes on Linux), as in the compiler's own Linux ABI. The stand-in implements these in
// platform/src/dxc/; methods it has no use for return E_NOTIMPL and say so on standard error.
#pragma once

#include <wsl/winadapter.h>

// Interfaces of the COM runtime that some signatures name; the stand-in does not implement them.
struct IMalloc;
struct IStream;

// Code pages of source and text blobs.
#define DXC_CP_ACP 0
#define DXC_CP_UTF16 1200
#define DXC_CP_UTF32 12000
#define DXC_CP_UTF8 65001
#define DXC_CP_WIDE DXC_CP_UTF32

// The compiler's classes, created by DxcCreateInstance.
inline constexpr CLSID CLSID_DxcCompiler = {
    0x73e22d93, 0xe6ce, 0x47f3, {0xb5, 0xbf, 0xf0, 0x66, 0x4f, 0x39, 0xc1, 0xb0}};
inline constexpr CLSID CLSID_DxcLibrary = {
    0x6245d6af, 0x66e0, 0x48fd, {0x80, 0xb4, 0x4d, 0x27, 0x17, 0x96, 0x74, 0x8c}};
inline constexpr CLSID CLSID_DxcUtils = CLSID_DxcLibrary;

struct IDxcBlob : public IUnknown {
    virtual LPVOID STDMETHODCALLTYPE GetBufferPointer() = 0;
    virtual SIZE_T STDMETHODCALLTYPE GetBufferSize() = 0;
};

struct IDxcBlobEncoding : public IDxcBlob {
    virtual HRESULT STDMETHODCALLTYPE GetEncoding(BOOL* pKnown, UINT32* pCodePage) = 0;
};

// Text blobs: the buffer holds the text and a terminating NUL; the string length excludes the NUL.
struct IDxcBlobUtf16 : public IDxcBlobEncoding {
    virtual LPCWSTR STDMETHODCALLTYPE GetStringPointer() = 0;
    virtual SIZE_T STDMETHODCALLTYPE GetStringLength() = 0;
};

struct IDxcBlobUtf8 : public IDxcBlobEncoding {
    virtual LPCSTR STDMETHODCALLTYPE GetStringPointer() = 0;
    virtual SIZE_T STDMETHODCALLTYPE GetStringLength() = 0;
};

struct IDxcIncludeHandler : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE LoadSource(LPCWSTR pFilename, IDxcBlob** ppIncludeSource) = 0;
};

struct DxcBuffer {
    LPCVOID Ptr;
    SIZE_T Size;
    UINT Encoding;
};

struct DxcDefine {
    LPCWSTR Name;
    LPCWSTR Value;
};

struct IDxcCompilerArgs : public IUnknown {
    virtual LPCWSTR* STDMETHODCALLTYPE GetArguments() = 0;
    virtual UINT32 STDMETHODCALLTYPE GetCount() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddArguments(LPCWSTR* pArguments, UINT32 argCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddArgumentsUTF8(LPCSTR* pArguments, UINT32 argCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddDefines(const DxcDefine* pDefines, UINT32 defineCount) = 0;
};

struct IDxcLibrary : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetMalloc(IMalloc* pMalloc) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBlobFromBlob(IDxcBlob* pBlob, UINT32 offset, UINT32 length,
                                                         IDxcBlob** ppResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBlobFromFile(LPCWSTR pFileName, UINT32* codePage,
                                                         IDxcBlobEncoding** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBlobWithEncodingFromPinned(LPCVOID pText, UINT32 size,
                                                                       UINT32 codePage,
                                                                       IDxcBlobEncoding** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBlobWithEncodingOnHeapCopy(LPCVOID pText, UINT32 size,
                                                                       UINT32 codePage,
                                                                       IDxcBlobEncoding** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBlobWithEncodingOnMalloc(LPCVOID pText, IMalloc* pIMalloc,
                                                                     UINT32 size, UINT32 codePage,
                                                                     IDxcBlobEncoding** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateIncludeHandler(IDxcIncludeHandler** ppResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateStreamFromBlobReadOnly(IDxcBlob* pBlob, IStream** ppStream) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBlobAsUtf8(IDxcBlob* pBlob, IDxcBlobEncoding** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBlobAsUtf16(IDxcBlob* pBlob, IDxcBlobEncoding** pBlobEncoding) = 0;
};

struct IDxcOperationResult : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetStatus(HRESULT* pStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResult(IDxcBlob** ppResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetErrorBuffer(IDxcBlobEncoding** ppErrors) = 0;
};

struct IDxcCompiler : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Compile(IDxcBlob* pSource, LPCWSTR pSourceName, LPCWSTR pEntryPoint,
                                              LPCWSTR pTargetProfile, LPCWSTR* pArguments, UINT32 argCount,
                                              const DxcDefine* pDefines, UINT32 defineCount,
                                              IDxcIncludeHandler* pIncludeHandler,
                                              IDxcOperationResult** ppResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE Preprocess(IDxcBlob* pSource, LPCWSTR pSourceName, LPCWSTR* pArguments,
                                                 UINT32 argCount, const DxcDefine* pDefines,
                                                 UINT32 defineCount, IDxcIncludeHandler* pIncludeHandler,
                                                 IDxcOperationResult** ppResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disassemble(IDxcBlob* pSource, IDxcBlobEncoding** ppDisassembly) = 0;
};

struct IDxcCompiler3 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Compile(const DxcBuffer* pSource, LPCWSTR* pArguments, UINT32 argCount,
                                              IDxcIncludeHandler* pIncludeHandler, REFIID riid,
                                              LPVOID* ppResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disassemble(const DxcBuffer* pObject, REFIID riid,
                                                  LPVOID* ppResult) = 0;
};

typedef enum DXC_OUT_KIND {
    DXC_OUT_NONE = 0,
    DXC_OUT_OBJECT = 1,
    DXC_OUT_ERRORS = 2,
    DXC_OUT_PDB = 3,
    DXC_OUT_SHADER_HASH = 4,
    DXC_OUT_DISASSEMBLY = 5,
    DXC_OUT_HLSL = 6,
    DXC_OUT_TEXT = 7,
    DXC_OUT_REFLECTION = 8,
    DXC_OUT_ROOT_SIGNATURE = 9,
    DXC_OUT_EXTRA_OUTPUTS = 10,
    DXC_OUT_FORCE_DWORD = 0xFFFFFFFF
} DXC_OUT_KIND;

struct IDxcResult : public IDxcOperationResult {
    virtual BOOL STDMETHODCALLTYPE HasOutput(DXC_OUT_KIND dxcOutKind) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOutput(DXC_OUT_KIND dxcOutKind, REFIID iid, void** ppvObject,
                                                IDxcBlobUtf16** ppOutputName) = 0;
    virtual UINT32 STDMETHODCALLTYPE GetNumOutputs() = 0;
    virtual DXC_OUT_KIND STDMETHODCALLTYPE GetOutputByIndex(UINT32 Index) = 0;
    virtual DXC_OUT_KIND STDMETHODCALLTYPE PrimaryOutput() = 0;
};

struct IDxcUtils : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateBlobFromBlob(IDxcBlob* pBlob, UINT32 offset, UINT32 length,
                                                         IDxcBlob** ppResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBlobFromPinned(LPCVOID pData, UINT32 size, UINT32 codePage,
                                                           IDxcBlobEncoding** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveToBlob(LPCVOID pData, IMalloc* pIMalloc, UINT32 size,
                                                 UINT32 codePage, IDxcBlobEncoding** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBlob(LPCVOID pData, UINT32 size, UINT32 codePage,
                                                 IDxcBlobEncoding** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadFile(LPCWSTR pFileName, UINT32* pCodePage,
                                               IDxcBlobEncoding** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateReadOnlyStreamFromBlob(IDxcBlob* pBlob, IStream** ppStream) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDefaultIncludeHandler(IDxcIncludeHandler** ppResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBlobAsUtf8(IDxcBlob* pBlob, IDxcBlobUtf8** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBlobAsUtf16(IDxcBlob* pBlob, IDxcBlobUtf16** pBlobEncoding) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDxilContainerPart(const DxcBuffer* pShader, UINT32 DxcPart,
                                                           void** ppPartData, UINT32* pPartSizeInBytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateReflection(const DxcBuffer* pData, REFIID iid,
                                                       void** ppvReflection) = 0;
    virtual HRESULT STDMETHODCALLTYPE BuildArguments(LPCWSTR pSourceName, LPCWSTR pEntryPoint,
                                                     LPCWSTR pTargetProfile, LPCWSTR* pArguments,
                                                     UINT32 argCount, const DxcDefine* pDefines,
                                                     UINT32 defineCount, IDxcCompilerArgs** ppArgs) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPDBContents(IDxcBlob* pPDBBlob, IDxcBlob** ppHash,
                                                     IDxcBlob** ppContainer) = 0;
};

// The documented interface IDs, so that __uuidof and IID_PPV_ARGS work as with the compiler's own header.
__CRT_UUID_DECL(IDxcBlob, 0x8BA5FB08, 0x5195, 0x40e2, 0xAC, 0x58, 0x0D, 0x98, 0x9C, 0x3A, 0x01, 0x02)
__CRT_UUID_DECL(IDxcBlobEncoding, 0x7241d424, 0x2646, 0x4191, 0x97, 0xc0, 0x98, 0xe9, 0x6e, 0x42, 0xfc, 0x68)
__CRT_UUID_DECL(IDxcBlobUtf16, 0xA3F84EAB, 0x0FAA, 0x497E, 0xA3, 0x9C, 0xEE, 0x6E, 0xD6, 0x0B, 0x2D, 0x84)
__CRT_UUID_DECL(IDxcBlobUtf8, 0x3DA636C9, 0xBA71, 0x4024, 0xA3, 0x01, 0x30, 0xCB, 0xF1, 0x25, 0x30, 0x5B)
__CRT_UUID_DECL(IDxcIncludeHandler, 0x7f61fc7d, 0x950d, 0x467f, 0xb3, 0xe3, 0x3c, 0x02, 0xfb, 0x49, 0x18,
                0x7c)
__CRT_UUID_DECL(IDxcCompilerArgs, 0x73EFFE2A, 0x70DC, 0x45F8, 0x96, 0x90, 0xEF, 0xF6, 0x4C, 0x02, 0x42, 0x9D)
__CRT_UUID_DECL(IDxcLibrary, 0xe5204dc7, 0xd18c, 0x4c3c, 0xbd, 0xfb, 0x85, 0x16, 0x73, 0x98, 0x0f, 0xe7)
__CRT_UUID_DECL(IDxcOperationResult, 0xCEDB484A, 0xD4E9, 0x445A, 0xB9, 0x91, 0xCA, 0x21, 0xCA, 0x15, 0x7D,
                0xC2)
__CRT_UUID_DECL(IDxcCompiler, 0x8c210bf3, 0x011f, 0x4422, 0x8d, 0x70, 0x6f, 0x9a, 0xcb, 0x8d, 0xb6, 0x17)
__CRT_UUID_DECL(IDxcCompiler3, 0x228B4687, 0x5A6A, 0x4730, 0x90, 0x0C, 0x97, 0x02, 0xB2, 0x20, 0x3F, 0x54)
__CRT_UUID_DECL(IDxcResult, 0x58346CDA, 0xDDE7, 0x4497, 0x94, 0x61, 0x6F, 0x87, 0xAF, 0x5E, 0x06, 0x59)
__CRT_UUID_DECL(IDxcUtils, 0x4605C4CB, 0x2019, 0x492A, 0xAD, 0xA4, 0x65, 0xF2, 0x0B, 0xB7, 0xD6, 0x7F)

// Creates an instance of CLSID_DxcCompiler (IDxcCompiler, IDxcCompiler3) or CLSID_DxcLibrary / CLSID_DxcUtils
// (IDxcLibrary, IDxcUtils).
extern "C" HRESULT DxcCreateInstance(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
