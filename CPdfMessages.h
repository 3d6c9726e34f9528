#pragma once

// Every message that a failed run prints on standard output, in one place. Scripts match these
// texts, so they never change; the README's table of messages lists each of them (a test
// holds the two together). Formats are filled with decimal numbers (%s: the number as typed,
// without leading zeros, or a file name). What failed, where and why goes to standard error besides
// (see CPdfException::GetDetail).
namespace CPdfMessages {
// The command line and the split.
inline constexpr char kWrongParameters[] = "Wrong program parameteres";
inline constexpr char kInvalidParameter[] = "Invalid parameter";
inline constexpr char kPageZero[] = "Invalid page number 0";
inline constexpr char kPageBeyondEnd[] = "Page number %s greater than %s pages in file";
inline constexpr char kRangeBeyondEnd[] = "Wrong page ranges, %s greater than %s pages in file";
inline constexpr char kInvalidChunkSize[] = "Invalid page number";
inline constexpr char kNoFilesOutput[] = "No files output";
inline constexpr char kPasswordFileReadError[] = "Password file read error";
inline constexpr char kDuplicateFileName[] = "Two items of the list give the file name %s";
inline constexpr char kNoBookmarks[] = "No bookmarks in file";
inline constexpr char kNoBookmarkOpensAPage[] = "No bookmark opens a page";

// Files.
inline constexpr char kFileOpenError[] = "File open error";
inline constexpr char kCantOpenFile[] = "Can't open file";
inline constexpr char kOutputCreateError[] = "Output file create error";
inline constexpr char kOutputWriteError[] = "Output file write error";

// The source's structure.
inline constexpr char kDamaged[] = "PDF file was damaged";
inline constexpr char kXRefUnreadable[] = "Couldn't parse an xref";
inline constexpr char kXRefStreamUnreadable[] = "Couldn't parse an xref stream";
inline constexpr char kXRefTableUnreadable[] = "Couldn't parse an xref table";
inline constexpr char kTrailerType[] = "Trailer dictionary is wrong type";
inline constexpr char kXRefSizeType[] = "Size of xref Stream is wrong type";
inline constexpr char kXRefWType[] = "W item of xref Stream is wrong type";
inline constexpr char kXRefWLength[] = "W item of xref Stream is wrong length";
inline constexpr char kXRefWRange[] = "W item of xref Stream is out of range";
inline constexpr char kXRefIndexType[] = "Index item of xref Stream is wrong type";
inline constexpr char kXRefStreamEnd[] = "Unexpected EOF while reading xref stream section";
inline constexpr char kXRefEntryType[] =
    "Wrong type of xref XRefEntry while reading xref stream section";
inline constexpr char kXRefSubsectionRange[] = "Cross-reference subsection is out of range";
inline constexpr char kXRefTooLarge[] = "Cross-reference table is too large";
inline constexpr char kCorrupted[] = "Corrupted PDF file";
inline constexpr char kMissingEndstream[] = "Missing 'endstream'";
inline constexpr char kNestedTooDeeply[] = "Objects are nested too deeply";
inline constexpr char kCatalogType[] = "Catalog CPdfObject is wrong type";
inline constexpr char kPagesType[] = "Top-level pages CPdfObject is wrong type";
inline constexpr char kPageCountType[] = "Page count in top-level pages CPdfObject is wrong type";
inline constexpr char kKidsType[] = "Kids CPdfObject is wrong type";
inline constexpr char kKidType[] = "Kid CPdfObject is wrong type";
inline constexpr char kPageTreeCycle[] = "Page tree contains a cycle";
inline constexpr char kPageTreeTooDeep[] = "Page tree is too deep";
inline constexpr char kPageTreeTooLarge[] = "Page tree is too large";
inline constexpr char kPageNotIndirect[] = "Page object is not an indirect object";
inline constexpr char kNoResources[] = "Resources are not found";
inline constexpr char kAnnotationsType[] = "Page annotations object (page %d) is wrong type";

// Encryption.
inline constexpr char kPasswordRequired[] = "Password required";
inline constexpr char kWrongPassword[] = "Wrong password";
inline constexpr char kEncryptionUnsupported[] = "Encryption method is not supported";
inline constexpr char kEncryptionDamaged[] = "Encryption dictionary is damaged";

// Not about the file: resources ran out, or the program itself is at fault.
inline constexpr char kUnexpected[] = "Unexpected exception";
inline constexpr char kInternalError[] = "Internal error (a bug in brantor)";

// Every message above, for the check against the README.
inline constexpr const char* kAll[] = {
    kWrongParameters,
    kInvalidParameter,
    kPageZero,
    kPageBeyondEnd,
    kRangeBeyondEnd,
    kPasswordFileReadError,
    kDuplicateFileName,
    kInvalidChunkSize,
    kNoFilesOutput,
    kNoBookmarks,
    kNoBookmarkOpensAPage,
    kFileOpenError,
    kCantOpenFile,
    kOutputCreateError,
    kOutputWriteError,
    kDamaged,
    kXRefUnreadable,
    kXRefStreamUnreadable,
    kXRefTableUnreadable,
    kTrailerType,
    kXRefSizeType,
    kXRefWType,
    kXRefWLength,
    kXRefWRange,
    kXRefIndexType,
    kXRefStreamEnd,
    kXRefEntryType,
    kXRefSubsectionRange,
    kXRefTooLarge,
    kCorrupted,
    kMissingEndstream,
    kNestedTooDeeply,
    kCatalogType,
    kPagesType,
    kPageCountType,
    kKidsType,
    kKidType,
    kPageTreeCycle,
    kPageTreeTooDeep,
    kPageTreeTooLarge,
    kPageNotIndirect,
    kNoResources,
    kAnnotationsType,
    kPasswordRequired,
    kWrongPassword,
    kEncryptionUnsupported,
    kEncryptionDamaged,
    kUnexpected,
    kInternalError,
};
}  // namespace CPdfMessages
