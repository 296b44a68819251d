"""Reading list: keep track of books to read and books finished.

Usage:
    uv run reading_list.py add "<title>" "<author>"
    uv run reading_list.py list
"""

import sys
from dataclasses import dataclass


@dataclass
class Book:
    title: str
    author: str
    finished: bool = False


def add_book(books: list[Book], title: str, author: str) -> bool:
    """Add a book to read; return False when it is already on the list."""
    for book in books:
        if book.title == title and book.author == author:
            return False
    books.append(Book(title, author))
    return True


def format_list(books: list[Book]) -> str:
    """The list as the `list` command prints it."""
    if not books:
        return "Your reading list is empty."
    lines = []
    for book in books:
        mark = "\u2713" if book.finished else " "
        lines.append(f"[{mark}] {book.title} by {book.author}")
    return "\n".join(lines)


def main(arguments: list[str]) -> int:
    # Until saving is built (task 2), the list lives only while the program runs.
    books: list[Book] = []
    if arguments[:1] == ["add"] and len(arguments) == 3:
        title, author = arguments[1], arguments[2]
        if add_book(books, title, author):
            print(f"Added {title} by {author}.")
        else:
            print(f"{title} by {author} is already on your list.")
        return 0
    if arguments == ["list"]:
        print(format_list(books))
        return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
