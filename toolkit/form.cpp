#include "toolkit/form.h"

#include "toolkit/runtime_error.h"

#include <algorithm>

namespace fw {

namespace {

// The run-time library's window lists: every form object the program made,
// and the loaded ones in load order.
struct FormRegistry {
    std::vector<std::unique_ptr<Form>> owned;
    std::vector<Form*> loaded;
};

FormRegistry& registry()
{
    static FormRegistry instance;
    return instance;
}

}  // namespace

Form::Form(std::string name, FormDesign design)
    : design_(std::move(design)), name_(std::move(name)), surface_(design_.back_color)
{
    // What is copied whole onto the window is shown from where it is.
    surface_.show_copies();
}

Form::~Form() = default;

void Form::Load()
{
    if (load_ran_) return;
    load_ran_ = true;
    window_ = platform().create_window(*this);
    Forms::added(*this);
    Form_Load();
}

void Form::Show(ShowMode mode)
{
    Load();
    if (window_) window_->show(mode);
}

void Form::Unload()
{
    if (!window_ || unloading_) return;
    unloading_ = true;
    Form_Unload();
    // The handler may have ended the program; when it returns, the window goes.
    if (window_) {
        auto window = std::move(window_);
        Forms::removed(*this);
        window->destroy();
    }
    unloading_ = false;
    load_ran_ = false;
}

void Form::destroyed_by_system() { Unload(); }

NativeWindow& Form::window() { return *window_; }

NativeHandle Form::hWnd() const { return window_ ? window_->handle() : 0; }

void Form::Refresh()
{
    if (window_) window_->refresh();
}

void Form::client_resized(int width, int height)
{
    if (width == surface_.width() && height == surface_.height()) return;
    surface_.resize(width, height);
    Form_Resize();
}

int Forms::count() { return static_cast<int>(registry().loaded.size()); }

Form& Forms::at(int index)
{
    if (index < 0 || index >= count()) raise_error(err::subscript);
    return *registry().loaded[static_cast<size_t>(index)];
}

void Forms::adopt(std::unique_ptr<Form> form) { registry().owned.push_back(std::move(form)); }

void Forms::added(Form& form) { registry().loaded.push_back(&form); }

void Forms::removed(Form& form)
{
    auto& loaded = registry().loaded;
    loaded.erase(std::remove(loaded.begin(), loaded.end(), &form), loaded.end());
}

void Forms::release_unloaded()
{
    auto& owned = registry().owned;
    std::vector<std::unique_ptr<Form>> gone;
    for (auto& form : owned)
        if (form && !form->loaded()) gone.push_back(std::move(form));
    owned.erase(std::remove(owned.begin(), owned.end(), nullptr), owned.end());
    for (auto& form : gone) form->Form_Terminate();
}

void Forms::discard_all()
{
    registry().loaded.clear();
    registry().owned.clear();
}

void Timer::set_Interval(int ms)
{
    interval_ = ms;
    apply();
}

void Timer::set_Enabled(bool enabled)
{
    enabled_ = enabled;
    apply();
}

void Timer::apply()
{
    if (owner_.loaded()) owner_.window().set_timer(interval_, enabled_ && interval_ > 0);
}

}  // namespace fw
