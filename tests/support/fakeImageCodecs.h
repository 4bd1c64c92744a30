#pragma once
// A codec layer for tests: it can refuse to start, and it counts its calls.

#include "platform/plImageCodecs.h"

class TFakeImageCodecs : public TImageCodecs {
public:
    bool startable = true;
    int decodeStatus = csGenericError;
    mutable int decodes = 0;

    bool Start() override { return startable; }
    void Stop() override {}
    QStringList EncoderMimeTypes() const override { return {QStringLiteral("image/png")}; }
    int Decode(const QByteArray&, QImage&) const override {
        ++decodes;
        return decodeStatus;
    }
    int Encode(const QImage&, const QString&, QByteArray&) const override { return csGenericError; }
};
