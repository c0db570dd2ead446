// The framework's plain document of the single-document frame: a new
// document does nothing beyond the default, and it holds no data of its own.
#pragma once

class CMyZELKDoc
{
public:
    bool OnNewDocument() { return true; }
};
