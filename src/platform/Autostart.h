#pragma once

// Whether the desktop starts the program when the user logs in.
class Autostart
{
public:
    virtual ~Autostart() = default;

    // Whether the program runs from where it was installed, as opposed to a build folder.
    virtual bool isInstalledProgram() const = 0;
    virtual bool isOn() const = 0;
    // Each throws Error with the system's reason when the change can't be made, and then changes nothing.
    virtual void turnOn() = 0;
    virtual void turnOff() = 0;
};
