// The few message boxes the core needs, behind an interface so that the window,
// the command-line tool and the tests each answer them in their own way.
#pragma once

#include <string>

enum class EMsgIcon { Stop, Error, Exclamation, Information };
enum class EMsgButtons { Ok, YesNo };
enum class EMsgResult { Ok, Yes, No };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Shows a modal message and returns the button the user chose.
    virtual EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) = 0;
};
