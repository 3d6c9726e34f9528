#include "file/CPdfSecurity.h"

#include <algorithm>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfDecryptStream.h"

namespace {
constexpr const char* kUnsupported = CPdfMessages::kEncryptionUnsupported;
constexpr const char* kDamaged = CPdfMessages::kEncryptionDamaged;

// What a password of revisions 2 to 4 is padded with to 32 bytes.
const char kPad[33] =
    "\x28\xBF\x4E\x5E\x4E\x75\x8A\x41\x64\x00\x4E\x56\xFF\xFA\x01\x08"
    "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80\x2F\x0C\xA9\xFE\x64\x53\x69\x7A";

std::string Padded(const std::string& password) {
    std::string out = password.substr(0, 32);
    out.append(kPad, 32 - out.size());
    return out;
}

std::string LittleEndian(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string XorKey(const std::string& key, int value) {
    std::string out = key;
    for (char& c : out) c = static_cast<char>(c ^ value);
    return out;
}

std::string Md5(const std::string& data) {
    return CPdfCipher::Hash(CPdfCipher::md5, data);
}

std::string Rc4(const std::string& key, const std::string& data) {
    return CPdfCipher::Apply(CPdfCipher::rc4, key, "", true, CPdfCipher::noPadding, data);
}

// Compares without stopping at the first difference.
bool SameBytes(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned difference = 0;
    for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<uint8_t>(a[i] ^ b[i]);
    return difference == 0;
}

// A string entry of at least minimum bytes; throws "Encryption dictionary is damaged"
// otherwise (or, with optional, returns "" when the entry is absent).
std::string StringEntry(const CPdfDictionary& dict, const char* key, size_t minimum,
                        bool optional = false) {
    CPdfObject value = dict.GetResolved(key);
    if (optional && value.kind == kindNull) return std::string();
    if (value.kind != kindString) throw CPdfException(kDamaged);
    std::string bytes = value.stringValue.Bytes();
    if (bytes.size() < minimum) throw CPdfException(kDamaged);
    return bytes;
}

int64_t IntegerEntry(const CPdfDictionary& dict, const char* key, int64_t fallback) {
    CPdfObject value = dict.GetResolved(key);
    if (value.kind == kindNull) return fallback;
    if (value.kind != kindInteger) throw CPdfException(kDamaged);
    return value.intValue;
}

CPdfCipher::Algorithm AlgorithmOf(CPdfSecurity::Method method) {
    return method == CPdfSecurity::methodRc4      ? CPdfCipher::rc4
           : method == CPdfSecurity::methodAes128 ? CPdfCipher::aes128Cbc
                                                  : CPdfCipher::aes256Cbc;
}
}  // namespace

CPdfSecurity::CPdfSecurity(const CPdfDictionary& encrypt, std::string id, int32_t number)
    : firstId(std::move(id)), encryptNumber(number) {
    dictionary.SetDictionary(std::make_shared<CPdfDictionary>(encrypt));
    if (!encrypt.GetResolved("Filter").IsName("Standard")) throw CPdfException(kUnsupported);
    const int64_t v = IntegerEntry(encrypt, "V", 0);
    const int64_t r = IntegerEntry(encrypt, "R", -1);
    if ((v != 1 && v != 2 && v != 4 && v != 5) || r < 2 || r > 6) {
        throw CPdfException(kUnsupported);
    }
    version = static_cast<int>(v);
    revision = static_cast<int>(r);
    if ((version == 5) != (revision >= 5)) throw CPdfException(kUnsupported);
    CPdfObject metadata = encrypt.GetResolved("EncryptMetadata");
    encryptMetadata = metadata.kind != kindBoolean || metadata.boolValue;
    if (version < 4) encryptMetadata = true;
    // /P is a 32-bit field, also where it is written as an unsigned number.
    permissions = static_cast<uint32_t>(IntegerEntry(encrypt, "P", -4) & 0xFFFFFFFF);
    ReadCryptFilters(encrypt);
    ReadPasswordData(encrypt);
}

CPdfSecurity::~CPdfSecurity() {
    std::fill(fileKey.begin(), fileKey.end(), '\0');
}

void CPdfSecurity::ReadCryptFilters(const CPdfDictionary& encrypt) {
    if (version < 4) {
        stringMethod = streamMethod = methodRc4;
    } else {
        stringMethod = FilterMethod(encrypt.GetResolved("StrF"));
        streamMethod = FilterMethod(encrypt.GetResolved("StmF"));
    }
    bool aes128 = false;
    for (Method m : {stringMethod, streamMethod}) {
        aes128 = aes128 || m == methodAes128;
        if ((m == methodAes256) != (version == 5 && m != methodNone)) {
            throw CPdfException(kUnsupported);
        }
    }
    if (version == 5) {
        keyLength = 32;
    } else if (aes128) {
        keyLength = 16;
    } else if (version == 1 || revision == 2) {
        keyLength = 5;
    } else {
        const int64_t bits = IntegerEntry(encrypt, "Length", version == 4 ? 128 : 40);
        if (bits < 40 || bits > 128 || bits % 8 != 0) throw CPdfException(kDamaged);
        keyLength = static_cast<size_t>(bits / 8);
        lengthGiven = encrypt.Has("Length");
    }
}

CPdfSecurity::Method CPdfSecurity::FilterMethod(const CPdfObject& name) const {
    if (name.kind == kindNull || name.IsName("Identity")) return methodNone;
    if (name.kind != kindName) throw CPdfException(kDamaged);
    const CPdfDictionary& encrypt = *dictionary.dictValue;
    CPdfObject filters = encrypt.GetResolved("CF");
    if (filters.kind != kindDictionary) throw CPdfException(kDamaged);
    CPdfObject filter = filters.dictValue->GetResolved(name.textValue);
    if (filter.kind != kindDictionary) throw CPdfException(kDamaged);
    CPdfObject cfm = filter.dictValue->GetResolved("CFM");
    if (cfm.kind == kindNull || cfm.IsName("None")) return methodNone;
    if (cfm.IsName("V2")) return methodRc4;
    if (cfm.IsName("AESV2")) return methodAes128;
    if (cfm.IsName("AESV3")) return methodAes256;
    throw CPdfException(kUnsupported);
}

void CPdfSecurity::ReadPasswordData(const CPdfDictionary& encrypt) {
    // Producers pad these strings now and then: what counts are their first bytes.
    const size_t size = revision >= 5 ? 48 : 32;
    ownerData = StringEntry(encrypt, "O", size).substr(0, size);
    userData = StringEntry(encrypt, "U", size).substr(0, size);
    if (revision >= 5) {
        ownerEncrypted = StringEntry(encrypt, "OE", 32).substr(0, 32);
        userEncrypted = StringEntry(encrypt, "UE", 32).substr(0, 32);
        StringEntry(encrypt, "Perms", 16, true);
    }
}

bool CPdfSecurity::Authenticate(const std::string& password) {
    if (revision >= 5) return AuthenticateV5(password);
    if (AuthenticateUser(Padded(password)) || AuthenticateOwner(password)) return true;
    // Without a /Length the key may still be longer than the 40 bits assumed.
    if (lengthGiven || revision == 2 || keyLength == 16) return false;
    const size_t assumed = keyLength;
    keyLength = 16;
    if (AuthenticateUser(Padded(password)) || AuthenticateOwner(password)) return true;
    keyLength = assumed;
    return false;
}

std::string CPdfSecurity::UserKey(const std::string& paddedPassword) const {
    std::string input = paddedPassword + ownerData + LittleEndian(permissions, 4) + firstId;
    if (revision >= 4 && !encryptMetadata) input += "\xFF\xFF\xFF\xFF";
    std::string hash = Md5(input);
    if (revision >= 3) {
        for (int i = 0; i < 50; ++i) hash = Md5(hash.substr(0, keyLength));
    }
    return hash.substr(0, keyLength);
}

bool CPdfSecurity::AuthenticateUser(const std::string& paddedPassword) {
    std::string key = UserKey(paddedPassword);
    bool match;
    if (revision == 2) {
        match = SameBytes(Rc4(key, std::string(kPad, 32)), userData);
    } else {
        std::string value = Rc4(key, Md5(std::string(kPad, 32) + firstId));
        for (int i = 1; i <= 19; ++i) value = Rc4(XorKey(key, i), value);
        match = SameBytes(value, userData.substr(0, 16));
    }
    if (match) fileKey = key;
    return match;
}

bool CPdfSecurity::AuthenticateOwner(const std::string& password) {
    std::string hash = Md5(Padded(password));
    if (revision >= 3) {
        for (int i = 0; i < 50; ++i) hash = Md5(hash);
    }
    const std::string key = hash.substr(0, keyLength);
    std::string user = ownerData;
    if (revision == 2) {
        user = Rc4(key, user);
    } else {
        for (int i = 19; i >= 0; --i) user = Rc4(XorKey(key, i), user);
    }
    owner = AuthenticateUser(user);
    return owner;
}

std::string CPdfSecurity::HashV5(const std::string& password, const std::string& salt,
                                 const std::string& extra) const {
    std::string k = CPdfCipher::Hash(CPdfCipher::sha256, password + salt + extra);
    if (revision == 5) return k;
    // Revision 6 hardens the hash with rounds of AES-128 and SHA-2 that the data itself picks.
    for (int round = 0;; ++round) {
        std::string block = password;
        block += k;
        block += extra;
        std::string k1;
        k1.reserve(block.size() * 64);
        for (int i = 0; i < 64; ++i) k1 += block;
        std::string e = CPdfCipher::Apply(CPdfCipher::aes128Cbc, k.substr(0, 16), k.substr(16, 16),
                                          true, CPdfCipher::noPadding, k1);
        unsigned sum = 0;
        for (int i = 0; i < 16; ++i) sum += static_cast<uint8_t>(e[i]);
        static const CPdfCipher::Digest next[3] = {CPdfCipher::sha256, CPdfCipher::sha384,
                                                   CPdfCipher::sha512};
        k = CPdfCipher::Hash(next[sum % 3], e);
        if (round >= 63 && static_cast<uint8_t>(e.back()) <= round - 31) break;
    }
    return k.substr(0, 32);
}

bool CPdfSecurity::AuthenticateV5(const std::string& given) {
    const std::string password = given.substr(0, 127);
    const std::string zeroIv(16, '\0');
    if (SameBytes(HashV5(password, ownerData.substr(32, 8), userData), ownerData.substr(0, 32))) {
        std::string key = HashV5(password, ownerData.substr(40, 8), userData);
        fileKey = CPdfCipher::Apply(CPdfCipher::aes256Cbc, key, zeroIv, false,
                                    CPdfCipher::noPadding, ownerEncrypted);
        owner = true;
        return true;
    }
    if (SameBytes(HashV5(password, userData.substr(32, 8), ""), userData.substr(0, 32))) {
        std::string key = HashV5(password, userData.substr(40, 8), "");
        fileKey = CPdfCipher::Apply(CPdfCipher::aes256Cbc, key, zeroIv, false,
                                    CPdfCipher::noPadding, userEncrypted);
        return true;
    }
    return false;
}

CPdfSecurity::Method CPdfSecurity::StreamMethod(const CPdfDictionary* streamDict) const {
    if (!streamDict) return streamMethod;
    CPdfObject type = streamDict->GetResolved("Type");
    if (type.IsName("XRef")) return methodNone;
    if (!encryptMetadata && type.IsName("Metadata")) return methodNone;
    // A /Crypt filter comes first in /Filter; its /DecodeParms /Name picks the crypt filter.
    CPdfObject filter = streamDict->GetResolved("Filter");
    CPdfObject params = streamDict->GetResolved("DecodeParms");
    if (filter.kind == kindArray && filter.arrayValue->GetCount() > 0) {
        filter = filter.arrayValue->GetResolvedAt(0);
        if (params.kind == kindArray) {
            params = params.arrayValue->GetCount() > 0 ? params.arrayValue->GetResolvedAt(0)
                                                       : CPdfObject(kindNull);
        }
    }
    if (!filter.IsName("Crypt") || version < 4) return streamMethod;
    CPdfObject name = params.kind == kindDictionary ? params.dictValue->GetResolved("Name")
                                                    : CPdfObject(kindNull);
    try {
        return FilterMethod(name.kind == kindNull ? CPdfObject(kindNull) : name);
    } catch (const CPdfException&) {
        return methodNone;  // a crypt filter the dictionary does not define: data as stored
    }
}

std::string CPdfSecurity::ObjectKey(Method method, int32_t number, int32_t generation) const {
    if (method == methodAes256) return fileKey;
    std::string input = fileKey + LittleEndian(static_cast<uint32_t>(number), 3) +
                        LittleEndian(static_cast<uint32_t>(generation), 2);
    if (method == methodAes128) input += "sAlT";
    return Md5(input).substr(0, std::min<size_t>(keyLength + 5, 16));
}

std::string CPdfSecurity::Decrypt(Method method, const std::string& data, int32_t number,
                                  int32_t generation) const {
    if (method == methodNone || !CanDecrypt() || (number == encryptNumber && number != 0)) {
        return data;
    }
    const std::string key = ObjectKey(method, number, generation);
    if (method == methodRc4) return Rc4(key, data);
    if (data.size() < 16) return std::string();
    return CPdfCipher::Apply(AlgorithmOf(method), key, data.substr(0, 16), false,
                             CPdfCipher::pdfPadding, data.substr(16));
}

std::string CPdfSecurity::Encrypt(Method method, const std::string& data, int32_t number,
                                  char kind) const {
    if (method == methodNone || !CanDecrypt()) return data;
    const std::string key = ObjectKey(method, number, 0);
    if (method == methodRc4) return Rc4(key, data);
    // The iv depends on everything that is encrypted with it, so that a run is repeatable and
    // only equal data of one object under one key gets an equal iv.
    std::string iv =
        CPdfCipher::Hash(CPdfCipher::sha256,
                         fileKey + kind + LittleEndian(static_cast<uint32_t>(number), 4) + data)
            .substr(0, 16);
    return iv + CPdfCipher::Apply(AlgorithmOf(method), key, iv, true, CPdfCipher::pdfPadding, data);
}

std::string CPdfSecurity::DecryptString(const std::string& bytes, int32_t number,
                                        int32_t generation) const {
    return Decrypt(stringMethod, bytes, number, generation);
}

std::string CPdfSecurity::DecryptStreamData(const std::string& data,
                                            const CPdfDictionary* streamDict, int32_t number,
                                            int32_t generation) const {
    return Decrypt(StreamMethod(streamDict), data, number, generation);
}

std::shared_ptr<CPdfStream> CPdfSecurity::DecryptingStream(std::shared_ptr<CPdfStream> raw,
                                                           const CPdfObject& dict, int32_t number,
                                                           int32_t generation) const {
    const Method method =
        StreamMethod(dict.kind == kindDictionary ? dict.dictValue.get() : nullptr);
    if (method == methodNone || !CanDecrypt() || (number == encryptNumber && number != 0)) {
        return raw;
    }
    return std::make_shared<CPdfDecryptStream>(std::move(raw), AlgorithmOf(method),
                                               ObjectKey(method, number, generation));
}

std::string CPdfSecurity::EncryptString(const std::string& bytes, int32_t number) const {
    return Encrypt(stringMethod, bytes, number, 's');
}

std::string CPdfSecurity::EncryptStreamData(const std::string& data,
                                            const CPdfDictionary* streamDict,
                                            int32_t number) const {
    return Encrypt(StreamMethod(streamDict), data, number, 'd');
}
