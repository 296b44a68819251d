"""Your first Python program.

Run it from this folder with:

    uv run main.py

Then change something below, save the file and run it again.
"""

import platform
import sys
from datetime import date


def greeting(name: str) -> str:
    """Return a friendly greeting for `name`."""
    return f"Hello, {name}! Python is working on your Mac."


def days_until_new_year(today: date) -> int:
    """Count the days from `today` to the next 1 January."""
    new_year = date(today.year + 1, 1, 1)
    return (new_year - today).days


def main() -> None:
    print(greeting("there"))
    print()
    print(f"Python version: {platform.python_version()}")
    print(f"Running from:   {sys.executable}")
    print()

    today = date.today()
    print(f"Today is {today:%A, %d %B %Y}.")
    days = days_until_new_year(today)
    if days == 1:
        print("New Year is tomorrow!")
    else:
        print(f"There are {days} days left until New Year.")
    print()

    # A list and a loop: try adding your own favourite fruit.
    fruits = ["apple", "banana", "cherry"]
    for number, fruit in enumerate(fruits, start=1):
        print(f"{number}. {fruit}")


if __name__ == "__main__":
    main()
