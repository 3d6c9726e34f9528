#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "object/CPdfDecryptor.h"
#include "object/CPdfObject.h"
#include "stream/CPdfCipher.h"

class CPdfDictionary;
class CPdfStream;

// The standard security handler of an encrypted document (revisions 2 to 6: RC4 of 40 to 128
// bits, AES-128, AES-256): it reads the /Encrypt dictionary, finds the file key from a user or
// owner password, and decrypts and encrypts the strings and stream data of single objects
// with the crypt filters the dictionary names for strings, for streams, and per stream.
//
// Strings of the /Encrypt dictionary itself and cross-reference streams are never encrypted;
// objects inside an object stream are decrypted with the stream, not on their own. Keys,
// passwords and decrypted bytes never appear in a message.
class CPdfSecurity final : public CPdfDecryptor {
public:
    // How one string or stream is encrypted.
    enum Method { methodNone, methodRc4, methodAes128, methodAes256 };

    // Reads the /Encrypt dictionary (encrypt, with its references resolved through its table),
    // the first /ID element to make the key with (empty when there is none) and the number of the
    // dictionary's object (0 when it is direct). Throws "Encryption method is not supported"
    // for another handler than /Standard or a version, revision or crypt filter method it
    // does not know, and "Encryption dictionary is damaged" for a missing or malformed entry
    // (a wrong /Length, /O, /U, /OE, /UE or /Perms size).
    CPdfSecurity(const CPdfDictionary& encrypt, std::string firstId, int32_t encryptNumber);
    ~CPdfSecurity();
    CPdfSecurity(const CPdfSecurity&) = delete;
    CPdfSecurity& operator=(const CPdfSecurity&) = delete;

    // Finds the file key from password, tried as the user password, then as the owner
    // password (bytes as given; for revisions 5 and 6 UTF-8, at most 127 bytes used). True
    // when it is one of them; the key found stays. Throws nothing else than what the cipher
    // library throws.
    bool Authenticate(const std::string& password);
    // True once a password has given the file key.
    bool CanDecrypt() const { return !fileKey.empty(); }
    // True when the password that gave the key was the owner's.
    bool IsOwner() const { return owner; }

    // How the document's strings are encrypted (its /StrF crypt filter).
    Method StringMethod() const { return stringMethod; }
    // How the data of a stream with dictionary streamDict is encrypted: none for a
    // cross-reference stream, for metadata with /EncryptMetadata false, or an /Identity crypt
    // filter; the method of the /Crypt filter the stream names first in its /Filter, else the
    // document's /StmF. streamDict may be nullptr (the document's /StmF).
    Method StreamMethod(const CPdfDictionary* streamDict) const;

    // The string bytes (decoded, not hexadecimal digits) decrypted as stored in object number
    // with generation. Damaged data decrypts to what it can (an AES string under 16 bytes to
    // nothing). Without the key, or for the /Encrypt object, the bytes come back unchanged.
    std::string DecryptString(const std::string& bytes, int32_t number,
                              int32_t generation) const override;
    // Raw stream data of object number, generation, with dictionary streamDict, decrypted
    // (not yet decoded by its filters). As DecryptString otherwise.
    std::string DecryptStreamData(const std::string& data, const CPdfDictionary* streamDict,
                                  int32_t number, int32_t generation) const;
    // A stream that decrypts raw while it is read, to put under the stream's filters; raw
    // itself when the stream is not encrypted (or the key is unknown).
    std::shared_ptr<CPdfStream> DecryptingStream(std::shared_ptr<CPdfStream> raw,
                                                 const CPdfObject& dictionary, int32_t number,
                                                 int32_t generation) const override;

    // String bytes encrypted for output object number, generation 0, with the document's
    // method; raw bytes, not yet written as a string literal. Unchanged without the key.
    std::string EncryptString(const std::string& bytes, int32_t number) const;
    // Stream data (already encoded by its filters) encrypted for output object number,
    // generation 0, with the method StreamMethod gives for streamDict. AES output is the iv
    // followed by the padded data: its /Length changes (16 bytes more, then up to the next
    // multiple of 16 plus one block). The iv is derived from the key, the object number and
    // the data, so the same input always gives the same bytes.
    std::string EncryptStreamData(const std::string& data, const CPdfDictionary* streamDict,
                                  int32_t number) const;

    // The /Encrypt dictionary as read (its references resolved), for outputs to keep.
    const CPdfObject& EncryptDictionary() const { return dictionary; }
    // The first /ID element the key is made with, as bytes (empty where the source's /ID
    // gives none); outputs must keep it, since the file key depends on it.
    const std::string& FirstId() const { return firstId; }
    // The /Encrypt dictionary's object number in the source; 0 when it is direct.
    int32_t EncryptNumber() const { return encryptNumber; }
    // The version (/V), revision (/R) and file key length in bytes.
    int Version() const { return version; }
    int Revision() const { return revision; }
    size_t KeyLength() const { return keyLength; }

private:
    void ReadCryptFilters(const CPdfDictionary& encrypt);
    Method FilterMethod(const CPdfObject& filterName) const;
    void ReadPasswordData(const CPdfDictionary& encrypt);

    bool AuthenticateUser(const std::string& password);
    bool AuthenticateOwner(const std::string& password);
    std::string UserKey(const std::string& paddedPassword) const;
    bool AuthenticateV5(const std::string& password);
    std::string HashV5(const std::string& password, const std::string& salt,
                       const std::string& userData) const;

    // The key of one object (the file key itself for AES-256).
    std::string ObjectKey(Method method, int32_t number, int32_t generation) const;
    std::string Decrypt(Method method, const std::string& data, int32_t number,
                        int32_t generation) const;
    std::string Encrypt(Method method, const std::string& data, int32_t number, char kind) const;

    CPdfObject dictionary;
    std::string firstId;
    int32_t encryptNumber;
    int version = 0;
    int revision = 0;
    size_t keyLength = 5;
    bool lengthGiven = true;  // false: /Length absent, and the key length assumed
    bool encryptMetadata = true;
    uint32_t permissions = 0;
    std::string ownerData, userData;            // /O, /U
    std::string ownerEncrypted, userEncrypted;  // /OE, /UE
    Method stringMethod = methodNone;
    Method streamMethod = methodNone;
    std::string fileKey;
    bool owner = false;
};
