#pragma once
// The contacts of one survey and their folder: every added or deleted contact rewrites the
// contact files at once, so that what is on disk is always the whole list.

#include <string>
#include <vector>

#include "contacts/contact.h"

namespace kelvanor {

class ContactBook {
  public:
    explicit ContactBook(std::string folder = {}) : folder_(std::move(folder)) {}

    const std::string& folder() const { return folder_; }
    // A new folder starts a new list (another file played, another recording).
    void set_folder(const std::string& folder);
    const std::vector<Contact>& contacts() const { return contacts_; }
    // The number the next contact gets: one more than the highest so far.
    int next_number() const;

    // Adds the contact under the next number and rewrites the files; false with the reason
    // in `error` when they could not be written (the contact stays in the list).
    bool add(Contact contact, std::string& error);
    // Deletes contact `number` and rewrites the files; false when there is no such contact
    // or the files could not be written.
    bool remove(int number, std::string& error);

  private:
    std::string folder_;
    std::vector<Contact> contacts_;
};

}  // namespace kelvanor
