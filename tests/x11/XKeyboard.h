// Keys through the X server's test extension (libXtst, loaded at run time):
// the events reach the program as a keyboard's would, repeats included.
#pragma once

#include <dlfcn.h>

#include <initializer_list>
#include <iterator>

class CXKeyboard {
public:
    CXKeyboard()
    {
        m_x11 = dlopen("libX11.so.6", RTLD_NOW);
        m_xtst = dlopen("libXtst.so.6", RTLD_NOW);
        if (!m_x11 || !m_xtst)
            return;
        m_open = reinterpret_cast<void* (*)(const char*)>(dlsym(m_x11, "XOpenDisplay"));
        m_close = reinterpret_cast<int (*)(void*)>(dlsym(m_x11, "XCloseDisplay"));
        m_flush = reinterpret_cast<int (*)(void*)>(dlsym(m_x11, "XFlush"));
        m_sync = reinterpret_cast<int (*)(void*, int)>(dlsym(m_x11, "XSync"));
        m_keycode = reinterpret_cast<unsigned char (*)(void*, unsigned long)>(dlsym(m_x11, "XKeysymToKeycode"));
        m_fake = reinterpret_cast<int (*)(void*, unsigned, int, unsigned long)>(dlsym(m_xtst, "XTestFakeKeyEvent"));
        m_focus = reinterpret_cast<int (*)(void*, unsigned long*, int*)>(dlsym(m_x11, "XGetInputFocus"));
        m_repeatOn = reinterpret_cast<int (*)(void*)>(dlsym(m_x11, "XAutoRepeatOn"));
        m_setFocus = reinterpret_cast<int (*)(void*, unsigned long, int, unsigned long)>(dlsym(m_x11, "XSetInputFocus"));
        if (m_open && m_close && m_flush && m_sync && m_keycode && m_fake && m_focus && m_repeatOn && m_setFocus)
            m_display = m_open(nullptr);
    }
    ~CXKeyboard()
    {
        if (m_display)
            m_close(m_display);
        if (m_xtst)
            dlclose(m_xtst);
        if (m_x11)
            dlclose(m_x11);
    }
    CXKeyboard(const CXKeyboard&) = delete;
    CXKeyboard& operator=(const CXKeyboard&) = delete;

    bool IsOpen() const { return m_display != nullptr; }
    // Whether the server sends key presses to `window` now: Qt may call a
    // window active before the server has moved its input focus there.
    bool HasFocus(unsigned long window) const
    {
        unsigned long focused = 0;
        int revert = 0;
        m_focus(m_display, &focused, &revert);
        return focused == window;
    }
    // Gives the keyboard to `window` as a window manager does; to no window
    // (0, as when another application has it: the server drops the keys).
    void Focus(unsigned long window)
    {
        m_setFocus(m_display, window, 0, 0); // RevertToNone, CurrentTime
        m_flush(m_display);
    }
    // The server's key code of an X keysym.
    unsigned Keycode(unsigned long keysym) const { return m_keycode(m_display, keysym); }
    // The server repeats held keys (its default; a server started otherwise
    // is switched).
    void RepeatOn() const
    {
        m_repeatOn(m_display);
        m_flush(m_display);
    }
    // Presses the keys (X keysyms) in order, then lets them go in reverse.
    void Chord(std::initializer_list<unsigned long> keysyms)
    {
        for (unsigned long k : keysyms)
            m_fake(m_display, Keycode(k), 1, 0);
        for (auto it = std::rbegin(keysyms); it != std::rend(keysyms); ++it)
            m_fake(m_display, Keycode(*it), 0, 0);
        m_flush(m_display);
    }
    // A key down or up: on return the server has sent its events.
    void KeyDown(unsigned long keysym) { Fake(keysym, 1); }
    void KeyUp(unsigned long keysym) { Fake(keysym, 0); }

private:
    void Fake(unsigned long keysym, int down)
    {
        m_fake(m_display, Keycode(keysym), down, 0);
        m_sync(m_display, 0);
    }

    void* m_x11 = nullptr;
    void* m_xtst = nullptr;
    void* m_display = nullptr;
    void* (*m_open)(const char*) = nullptr;
    int (*m_close)(void*) = nullptr;
    int (*m_flush)(void*) = nullptr;
    int (*m_sync)(void*, int) = nullptr;
    unsigned char (*m_keycode)(void*, unsigned long) = nullptr;
    int (*m_fake)(void*, unsigned, int, unsigned long) = nullptr;
    int (*m_focus)(void*, unsigned long*, int*) = nullptr;
    int (*m_repeatOn)(void*) = nullptr;
    int (*m_setFocus)(void*, unsigned long, int, unsigned long) = nullptr;
};
