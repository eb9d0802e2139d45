#include "contacts/contact_book.h"

#include <algorithm>

#include "contacts/contact_files.h"

namespace kelvanor {

void ContactBook::set_folder(const std::string& folder) {
    if (folder == folder_) return;
    folder_ = folder;
    contacts_.clear();
}

int ContactBook::next_number() const {
    int highest = 0;
    for (const Contact& c : contacts_) highest = std::max(highest, c.number);
    return highest + 1;
}

bool ContactBook::add(Contact contact, std::string& error) {
    contact.number = next_number();
    contacts_.push_back(std::move(contact));
    return write_contact_files(folder_, contacts_, error);
}

bool ContactBook::remove(int number, std::string& error) {
    const auto it = std::find_if(contacts_.begin(), contacts_.end(),
                                 [&](const Contact& c) { return c.number == number; });
    if (it == contacts_.end()) {
        error = "no contact " + std::to_string(number);
        return false;
    }
    contacts_.erase(it);
    return write_contact_files(folder_, contacts_, error);
}

}  // namespace kelvanor
