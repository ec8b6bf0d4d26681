// A small JSON reader for checking the program's documents in tests.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

struct Json {
    enum Kind { NONE, STRING, ARRAY, OBJECT, OTHER } kind = NONE;
    std::string text;                  // the string's bytes
    std::vector<Json> items;           // array elements
    std::map<std::string, Json> keys;  // object members
    std::vector<std::string> order;    // object keys as they came
};

// Reads one JSON value; sets *ok to false on malformed text or trailing bytes.
class JsonReader {
public:
    explicit JsonReader(const std::string& s) : s_(s) {}
    Json read(bool* ok) {
        ok_ = true;
        Json v = value();
        space();
        *ok = ok_ && i_ == s_.size();
        return v;
    }

private:
    const std::string& s_;
    size_t i_ = 0;
    bool ok_ = true;

    void space() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) i_++;
    }
    bool eat(char c) {
        space();
        if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
        return false;
    }
    void append_utf8(std::string& out, unsigned c) {
        if (c < 0x80) out += (char)c;
        else if (c < 0x800) out += (char)(0xC0 | c >> 6), out += (char)(0x80 | (c & 0x3F));
        else if (c < 0x10000)
            out += (char)(0xE0 | c >> 12), out += (char)(0x80 | ((c >> 6) & 0x3F)), out += (char)(0x80 | (c & 0x3F));
        else
            out += (char)(0xF0 | c >> 18), out += (char)(0x80 | ((c >> 12) & 0x3F)),
                out += (char)(0x80 | ((c >> 6) & 0x3F)), out += (char)(0x80 | (c & 0x3F));
    }
    unsigned hex4() {
        unsigned v = 0;
        for (int k = 0; k < 4; k++, i_++) {
            char c = i_ < s_.size() ? s_[i_] : 'x';
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (d < 0) return ok_ = false, 0;
            v = v * 16 + (unsigned)d;
        }
        return v;
    }
    std::string string() {
        std::string out;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if ((unsigned char)c < 0x20) ok_ = false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) break;
            char e = s_[i_++];
            const std::string simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
            if (simple.find(e) != std::string::npos) out += meaning[simple.find(e)];
            else if (e == 'u') {
                unsigned c1 = hex4();
                if (c1 >= 0xD800 && c1 < 0xDC00 && s_.compare(i_, 2, "\\u") == 0) {
                    i_ += 2;
                    c1 = 0x10000 + ((c1 - 0xD800) << 10) + (hex4() - 0xDC00);
                }
                append_utf8(out, c1);
            } else ok_ = false;
        }
        if (i_ >= s_.size()) ok_ = false;
        i_++;
        return out;
    }
    Json value() {
        Json v;
        space();
        if (i_ >= s_.size()) return ok_ = false, v;
        char c = s_[i_];
        if (c == '"') {
            i_++;
            v.kind = Json::STRING;
            v.text = string();
        } else if (eat('[')) {
            v.kind = Json::ARRAY;
            if (!eat(']')) {
                do v.items.push_back(value());
                while (ok_ && eat(','));
                if (!eat(']')) ok_ = false;
            }
        } else if (eat('{')) {
            v.kind = Json::OBJECT;
            if (!eat('}')) {
                do {
                    if (!eat('"')) return ok_ = false, v;
                    std::string key = string();
                    if (!eat(':')) return ok_ = false, v;
                    v.order.push_back(key);
                    v.keys[key] = value();
                } while (ok_ && eat(','));
                if (!eat('}')) ok_ = false;
            }
        } else {
            v.kind = Json::OTHER;
            size_t start = i_;
            while (i_ < s_.size() && std::string(",]} \n\r\t").find(s_[i_]) == std::string::npos) i_++;
            if (i_ == start) ok_ = false;
        }
        return v;
    }
};
