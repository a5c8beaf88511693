#pragma once
// A small JSON reader for the reference results (objects, arrays, numbers, strings, null, bools).

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace minijson {

struct Value {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Value> items;
    std::map<std::string, Value> fields;

    bool isNull() const { return kind == Kind::Null; }
    bool has(const std::string& k) const { return fields.count(k) != 0; }
    const Value& operator[](const std::string& k) const {
        auto it = fields.find(k);
        if (it == fields.end()) throw std::runtime_error("missing key " + k);
        return it->second;
    }
};

class Parser {
public:
    explicit Parser(std::string text) : s_(std::move(text)) {}
    Value parse() {
        Value v = value();
        skip();
        if (i_ != s_.size()) fail("trailing text");
        return v;
    }

private:
    void fail(const char* why) { throw std::runtime_error(std::string("JSON: ") + why); }
    void skip() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
    }
    bool take(char c) {
        skip();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    std::string str() {
        if (!take('"')) fail("string expected");
        std::string out;
        while (i_ < s_.size() && s_[i_] != '"') {
            if (s_[i_] == '\\') {
                ++i_;
                out += s_[i_] == 'n' ? '\n' : s_[i_];
            } else {
                out += s_[i_];
            }
            ++i_;
        }
        ++i_;
        return out;
    }
    Value value() {
        skip();
        Value v;
        if (i_ >= s_.size()) fail("unexpected end");
        const char c = s_[i_];
        if (c == '{') {
            ++i_;
            v.kind = Value::Kind::Object;
            if (take('}')) return v;
            do {
                std::string k = str();
                if (!take(':')) fail("':' expected");
                v.fields[k] = value();
            } while (take(','));
            if (!take('}')) fail("'}' expected");
        } else if (c == '[') {
            ++i_;
            v.kind = Value::Kind::Array;
            if (take(']')) return v;
            do v.items.push_back(value());
            while (take(','));
            if (!take(']')) fail("']' expected");
        } else if (c == '"') {
            v.kind = Value::Kind::String;
            v.text = str();
        } else if (s_.compare(i_, 4, "null") == 0) {
            i_ += 4;
        } else if (s_.compare(i_, 4, "true") == 0) {
            i_ += 4;
            v.kind = Value::Kind::Bool;
            v.boolean = true;
        } else if (s_.compare(i_, 5, "false") == 0) {
            i_ += 5;
            v.kind = Value::Kind::Bool;
        } else {
            char* end = nullptr;
            v.number = std::strtod(s_.c_str() + i_, &end);
            if (end == s_.c_str() + i_) fail("number expected");
            i_ = std::size_t(end - s_.c_str());
            v.kind = Value::Kind::Number;
        }
        return v;
    }
    std::string s_;
    std::size_t i_ = 0;
};

inline Value parseFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::stringstream ss;
    ss << in.rdbuf();
    return Parser(ss.str()).parse();
}

}  // namespace minijson
