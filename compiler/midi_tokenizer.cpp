#include "compiler/midi_tokenizer.h"

namespace zb::compiler {

// A variable-length quantity as an unsigned 32-bit number (longer ones keep their low 32 bits).
// The file layer sets its end flag with the delivery of the last byte, so the last byte of the
// file counts as the end.
bool TMidiTokenizer::readVarLen(std::uint32_t& value) {
    std::uint8_t b = file_->readByte();
    if (file_->eof())
        return false;
    ++counter_;
    value = b & 0x7Fu;
    while (b >= 0x80) {
        b = file_->readByte();
        if (file_->eof())
            return false;
        ++counter_;
        value = (value << 7) | (b & 0x7Fu);
    }
    return true;
}

TMidiTokenizer::TStep TMidiTokenizer::fail(std::int32_t code) {
    errorCode_ = code;
    stopped_ = true;
    return failed;
}

TMidiTokenizer::TStep TMidiTokenizer::next() {
    if (stopped_ || counter_ >= chunkLength_)
        return chunkEnd;
    if (expectDelta_) {
        std::uint32_t value = 0;
        if (!readVarLen(value))
            return fail(12);
        tick_ += value;
        expectDelta_ = false;
        return delta;
    }
    expectDelta_ = true;
    return readEvent();
}

TMidiTokenizer::TStep TMidiTokenizer::readEvent() {
    TFastFile& file = *file_;
    std::uint8_t status = file.readByte();
    if (file.eof())
        return fail(12);
    if (status >= 0x80) {
        if (status != 0xF0 && status != 0xF7 && status != 0xFF)
            running_ = status;
        ++counter_;
    } else {
        file.seek(file.position() - 1); // the data byte is read again by the event
        status = running_;
    }
    event_ = TMidiEvent{};
    event_.tick = tick_;
    event_.status = status;
    const auto skip = [&] {
        if (!readVarLen(event_.length))
            return false;
        file.seek(file.position() + event_.length);
        counter_ += event_.length;
        return true;
    };
    if (status >= 0x80 && status < 0xF0) {
        const bool twoBytes = (status & 0xF0) != 0xC0 && (status & 0xF0) != 0xD0;
        event_.d1 = file.readByte();
        event_.d2 = twoBytes ? file.readByte() : 0;
        if (file.eof())
            return fail(12);
        counter_ += twoBytes ? 2 : 1;
    } else if (status == 0xF0 || status == 0xF7) {
        if (!skip())
            return fail(12);
    } else if (status == 0xFF) {
        event_.d1 = file.readByte();
        if (file.eof())
            return fail(12);
        ++counter_;
        if (event_.d1 == 0x2F) {
            file.readByte(); // the length; its value does not matter, nor the file's end here
            ++counter_;
            endOfTrack_ = true;
            stopped_ = true;
        } else if (event_.d1 == 0x51 && rule_ == TTempoRule::fourBytes) {
            std::uint8_t t[4];
            for (auto& b : t)
                b = file.readByte();
            if (file.eof())
                return fail(12);
            counter_ += 4;
            event_.length = t[0];
            event_.tempo = t[1] * 65536 + t[2] * 256 + t[3];
        } else if (!skip()) {
            return fail(12);
        }
    } else if (status != 0xFE) { // active sensing, also as a running status, is ignored
        return fail(14);
    }
    return event;
}

} // namespace zb::compiler
