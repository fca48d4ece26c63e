// The few message boxes the core needs, behind an interface so that the window,
// the command-line tool and the tests each answer them in their own way.
#pragma once

#include <string>

enum class MsgIcon { Stop, Error, Exclamation, Information };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Shows a modal message and returns the button the user chose.
    virtual MsgResult Show(const std::string& text, MsgIcon icon, MsgButtons buttons) = 0;
};
